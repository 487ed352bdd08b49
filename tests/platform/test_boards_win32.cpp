// The boards of the platform tests on Windows: simulator programs that the
// harness has put behind COM ports, named on the command line as
//
//   --healthy-port N --gap-port N --silent-port N --missing-port N
//
// The settings key of the tests is removed before and after each test, so
// the driver's own key is never touched.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "tests/platform/test_boards.h"

namespace quillmoor::test {
namespace {

int ports[4] = {};  // in the order of enum Board

class BoardEnvironment final : public ::testing::Environment {
public:
    void SetUp() override { RemoveTestKeys(); }
    void TearDown() override { RemoveTestKeys(); }
};

}  // namespace

int PortNumber(Board board) { return ports[static_cast<int>(board)]; }

bool ReadBoardArguments(int argc, char** argv)
{
    static constexpr const char* kOptions[] = {"--healthy-port", "--gap-port", "--silent-port",
                                               "--missing-port"};
    for (int i = 1; i < argc; i += 2) {
        int which = -1;
        for (int k = 0; k < 4; ++k)
            if (std::strcmp(argv[i], kOptions[k]) == 0) which = k;
        const int number = i + 1 < argc ? std::atoi(argv[i + 1]) : 0;
        if (which < 0 || number <= 0) {
            std::fprintf(stderr,
                         "usage: %s [gtest options] --healthy-port N --gap-port N --silent-port N "
                         "--missing-port N\n",
                         argv[0]);
            return false;
        }
        ports[which] = number;
    }
    return true;
}

::testing::Environment* MakeBoardEnvironment() { return new BoardEnvironment; }

void PumpMessagesFor(std::chrono::milliseconds duration)
{
    const ULONGLONG end = GetTickCount64() + static_cast<ULONGLONG>(duration.count());
    for (ULONGLONG now = GetTickCount64(); now < end; now = GetTickCount64()) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(end - now), QS_ALLINPUT);
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
    }
}

void RemoveTestKeys()
{
    // The settings store works in the 32-bit view; so does this.
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kTestKeyRoot, 0, KEY_ALL_ACCESS | KEY_WOW64_32KEY, &key) !=
        ERROR_SUCCESS)
        return;
    RegDeleteTreeA(key, nullptr);
    RegCloseKey(key);
    const LONG status = RegDeleteKeyExA(HKEY_LOCAL_MACHINE, kTestKeyRoot, KEY_WOW64_32KEY, 0);
    ASSERT_EQ(status, ERROR_SUCCESS) << "the test key could not be removed";
}

}  // namespace quillmoor::test
