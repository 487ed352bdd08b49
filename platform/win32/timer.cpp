// Thread timers without a window: SetTimer(NULL, ...) fires on the thread that
// started it, whenever that thread dispatches messages.
#include "platform/timer.h"

#include <windows.h>

#include <map>
#include <mutex>

namespace quillmoor::platform {
namespace {

// Without a window the system chooses the identifier, so the procedure to
// call is looked up by the identifier it hands to the TIMERPROC.
std::mutex& TimersMutex()
{
    static std::mutex mutex;
    return mutex;
}

struct Timer {
    TimerProc proc;
    DWORD threadId;  // the thread whose message loop fires it
    HANDLE thread;   // held to tell whether that thread still runs
};

std::map<UINT_PTR, Timer>& Timers()
{
    static std::map<UINT_PTR, Timer> timers;
    return timers;
}

void CALLBACK OnTimer(HWND, UINT, UINT_PTR id, DWORD)
{
    TimerProc proc = nullptr;
    {
        std::lock_guard lock(TimersMutex());
        auto found = Timers().find(id);
        if (found != Timers().end()) proc = found->second.proc;
    }
    if (proc) proc();
}

}  // namespace

TimerId StartTimer(unsigned periodMs, TimerId requestedId, TimerProc proc)
{
    // The lock is held across SetTimer so that a tick can never find the
    // identifier before it has been entered.
    std::lock_guard lock(TimersMutex());
    const UINT_PTR id = SetTimer(nullptr, requestedId, periodMs, OnTimer);
    if (id == 0) return 0;
    HANDLE thread = nullptr;
    DuplicateHandle(GetCurrentProcess(), GetCurrentThread(), GetCurrentProcess(), &thread, SYNCHRONIZE, FALSE, 0);
    Timers()[id] = {proc, GetCurrentThreadId(), thread};
    return id;
}

// A TIMERPROC runs on the starting thread; stopping on that thread (the DLL's
// detach, in practice) therefore never races a running call.
void StopTimer(TimerId id)
{
    if (id == 0) return;
    KillTimer(nullptr, id);
    std::lock_guard lock(TimersMutex());
    auto found = Timers().find(id);
    if (found == Timers().end()) return;
    if (found->second.thread) CloseHandle(found->second.thread);
    Timers().erase(found);
}

bool TimerFiresOnAnotherLiveThread(TimerId id)
{
    std::lock_guard lock(TimersMutex());
    auto found = Timers().find(id);
    if (found == Timers().end() || found->second.threadId == GetCurrentThreadId()) return false;
    return found->second.thread && WaitForSingleObject(found->second.thread, 0) == WAIT_TIMEOUT;
}

}  // namespace quillmoor::platform
