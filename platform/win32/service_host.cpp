#include "platform/service_host.h"

#include <windows.h>

#include <string>

#include "platform/stop_request.h"

namespace quillmoor::platform {
namespace {

// The control manager calls back without a context, so one service per process.
std::wstring serviceName;
std::function<int()> serviceBody;
SERVICE_STATUS_HANDLE statusHandle = nullptr;

void Report(DWORD state, DWORD exitCode = 0)
{
    SERVICE_STATUS status{};
    status.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
    status.dwCurrentState = state;
    status.dwControlsAccepted = state == SERVICE_RUNNING ? SERVICE_ACCEPT_STOP | SERVICE_ACCEPT_SHUTDOWN : 0;
    status.dwWin32ExitCode = exitCode == 0 ? NO_ERROR : ERROR_SERVICE_SPECIFIC_ERROR;
    status.dwServiceSpecificExitCode = exitCode;
    status.dwWaitHint = state == SERVICE_RUNNING || state == SERVICE_STOPPED ? 0 : 10000;
    SetServiceStatus(statusHandle, &status);
}

DWORD WINAPI OnControl(DWORD control, DWORD, void*, void*)
{
    switch (control) {
    case SERVICE_CONTROL_STOP:
    case SERVICE_CONTROL_SHUTDOWN:
        Report(SERVICE_STOP_PENDING);
        RequestStop();
        return NO_ERROR;
    case SERVICE_CONTROL_INTERROGATE:
        return NO_ERROR;
    default:
        return ERROR_CALL_NOT_IMPLEMENTED;
    }
}

void WINAPI ServiceMain(DWORD, LPWSTR*)
{
    statusHandle = RegisterServiceCtrlHandlerExW(serviceName.c_str(), OnControl, nullptr);
    if (statusHandle == nullptr) return;
    Report(SERVICE_RUNNING);
    Report(SERVICE_STOPPED, static_cast<DWORD>(serviceBody()));
}

}  // namespace

bool RunAsService(const char* name, std::function<int()> serve)
{
    serviceName.assign(name, name + std::char_traits<char>::length(name));
    serviceBody = std::move(serve);
    SERVICE_TABLE_ENTRYW table[] = {{serviceName.data(), ServiceMain}, {nullptr, nullptr}};
    return StartServiceCtrlDispatcherW(table) != FALSE;
}

}  // namespace quillmoor::platform
