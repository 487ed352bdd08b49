#include "platform/stop_request.h"

#include <windows.h>

#include <mutex>

namespace quillmoor::platform {
namespace {

std::once_flag stopOnce;
std::function<void()> stopCallback;

BOOL WINAPI OnConsoleEvent(DWORD event)
{
    RequestStop();
    // Ctrl-C and Ctrl-Break leave the process running: main ends it. For the
    // other events the process ends when this returns, so it waits for main.
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) Sleep(INFINITE);
    return TRUE;
}

}  // namespace

void CallOnStopRequest(std::function<void()> onStop)
{
    stopCallback = std::move(onStop);
    SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
}

void RequestStop()
{
    std::call_once(stopOnce, [] {
        if (stopCallback) stopCallback();
    });
}

void IgnoreBrokenPipes() {}

}  // namespace quillmoor::platform
