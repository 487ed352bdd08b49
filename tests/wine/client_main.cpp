// quillmoor-wine-client: drives Quillmoor.DLL the way an ASCOM client does,
// by ProgID and late binding only.
//
//   client SCENARIO [--log PATH] [--com-port N] [--focus-shift N] [--max-step N] [--dll PATH]
//                   [--duration SECONDS]   (stress: how long the threads run)
//                   [--fresh-settings]     (the settings key removed first)
//                   [--wire PATH]          (the board's wire record, for the dialogs)
//
// The options are written to the driver's settings key (32-bit registry
// view) before the DLL is loaded, so the controller object starts with them.
#include <windows.h>
#include <objbase.h>

#include <cstdio>
#include <cwchar>
#include <string>

#include "automation.h"
#include "scenarios.h"

namespace {

// The driver reads its options with the ANSI calls, so they are written so.
bool SetOption(const char* name, DWORD type, const void* data, DWORD size)
{
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, L"Software\\ASCOM\\Focuser Drivers\\Quillmoor.Focuser",
                        0, nullptr, 0, KEY_WRITE | KEY_WOW64_32KEY, nullptr, &key,
                        nullptr) != ERROR_SUCCESS)
        return false;
    const bool ok = RegSetValueExA(key, name, 0, type, static_cast<const BYTE*>(data), size) ==
                    ERROR_SUCCESS;
    RegCloseKey(key);
    return ok;
}

bool RemoveSettings()
{
    const LSTATUS status = RegDeleteKeyExW(HKEY_LOCAL_MACHINE, L"Software\\ASCOM\\Focuser Drivers\\Quillmoor.Focuser",
                                           KEY_WOW64_32KEY, 0);
    return status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND;
}

bool SetNumber(const char* name, const wchar_t* text)
{
    const DWORD value = static_cast<DWORD>(std::wcstol(text, nullptr, 0));
    return SetOption(name, REG_DWORD, &value, sizeof value);
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: client SCENARIO [--log PATH] [--com-port N] ...\n");
        return 2;
    }
    const std::wstring scenario = argv[1];
    const wchar_t* dllPath = L"";
    int stressSeconds = 60;
    std::string wirePath;
    for (int i = 2; i < argc; i += 2) {
        const std::wstring option = argv[i];
        bool ok = true;
        if (option == L"--fresh-settings") {
            ok = RemoveSettings();
            --i;  // takes no value
        } else if (i + 1 >= argc) {
            ok = false;
        } else if (option == L"--log") {
            const std::string path = [&] {
                char ansi[MAX_PATH * 2] = {};
                WideCharToMultiByte(CP_ACP, 0, argv[i + 1], -1, ansi, sizeof ansi, nullptr, nullptr);
                return std::string(ansi);
            }();
            ok = SetOption("LogFile", REG_SZ, path.c_str(), static_cast<DWORD>(path.size() + 1));
        } else if (option == L"--com-port") {
            ok = SetNumber("ComPort", argv[i + 1]);
        } else if (option == L"--focus-shift") {
            ok = SetNumber("AscomFocusShift", argv[i + 1]);
        } else if (option == L"--max-step") {
            ok = SetNumber("AscomMaxFocusPos", argv[i + 1]);
        } else if (option == L"--duration") {
            stressSeconds = static_cast<int>(std::wcstol(argv[i + 1], nullptr, 10));
            ok = stressSeconds > 0;
        } else if (option == L"--dll") {
            dllPath = argv[i + 1];
        } else if (option == L"--wire") {
            wirePath = wine_client::Narrow(argv[i + 1]);
        } else {
            ok = false;
        }
        if (!ok) {
            std::fprintf(stderr, "client: cannot apply option %ls\n", option.c_str());
            return 2;
        }
    }

    // Multithreaded apartment: the threading model "both" lets every thread of
    // it call the objects directly, which the Move-while-asked case needs.
    // The dialogs are shown from a single-threaded one, as a program with a
    // user interface does.
    const bool dialog = scenario.rfind(L"control", 0) == 0;
    if (FAILED(CoInitializeEx(nullptr, dialog ? COINIT_APARTMENTTHREADED : COINIT_MULTITHREADED))) return 2;
    int failures = -1;
    if (scenario == L"disconnected") failures = wine_client::DisconnectedMembers();
    else if (scenario == L"members") failures = wine_client::ConnectedMembers();
    else if (scenario == L"shared") failures = wine_client::SharedLink();
    else if (scenario == L"threads") failures = wine_client::MoveWhileAsked();
    else if (scenario == L"server") failures = wine_client::ServerRules(dllPath);
    else if (scenario == L"timer") failures = wine_client::TimerAndUnload();
    else if (scenario == L"unload-thread") failures = wine_client::UnloadOnAnotherThread();
    else if (scenario == L"auto") failures = wine_client::AutoSearch();
    else if (scenario == L"held-port") failures = wine_client::HeldPort();
    else if (scenario == L"conformance") failures = wine_client::Conformance();
    else if (scenario == L"typelib") failures = wine_client::TypeLibraryReadBack(dllPath);
    else if (scenario == L"bench") failures = wine_client::ExchangeBenchmark();
    else if (scenario == L"bench-auto") failures = wine_client::AutoConnectBenchmark();
    else if (scenario == L"bench-idle") failures = wine_client::IdleBenchmark();
    else if (scenario == L"bench-move") failures = wine_client::LongMoveBenchmark();
    else if (scenario == L"session") failures = wine_client::Session();
    else if (scenario == L"unplug") failures = wine_client::CablePulled();
    else if (scenario == L"replies") failures = wine_client::SpoiledReplies();
    else if (scenario == L"flood") failures = wine_client::FloodingBoard();
    else if (scenario == L"busy") failures = wine_client::BusyAfterRefusals();
    else if (scenario == L"stress") failures = wine_client::Stress(stressSeconds);
    else if (scenario == L"control-shared") failures = wine_client::ControlDialogShared(wirePath);
    else if (scenario == L"control-alone") failures = wine_client::ControlDialogAlone(wirePath);
    else if (scenario == L"control-demo") failures = wine_client::ControlDialogDemo(false);
    else if (scenario == L"control-demo-interactive") failures = wine_client::ControlDialogDemo(true);
    CoUninitialize();
    if (failures < 0) {
        std::fprintf(stderr, "client: unknown scenario %ls\n", scenario.c_str());
        return 2;
    }
    return failures == 0 ? 0 : 1;
}
