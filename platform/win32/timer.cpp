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
std::mutex& ProcsMutex()
{
    static std::mutex mutex;
    return mutex;
}

std::map<UINT_PTR, TimerProc>& Procs()
{
    static std::map<UINT_PTR, TimerProc> procs;
    return procs;
}

void CALLBACK OnTimer(HWND, UINT, UINT_PTR id, DWORD)
{
    TimerProc proc = nullptr;
    {
        std::lock_guard lock(ProcsMutex());
        auto found = Procs().find(id);
        if (found != Procs().end()) proc = found->second;
    }
    if (proc) proc();
}

}  // namespace

TimerId StartTimer(unsigned periodMs, TimerId requestedId, TimerProc proc)
{
    // The lock is held across SetTimer so that a tick can never find the
    // identifier before it has been entered.
    std::lock_guard lock(ProcsMutex());
    const UINT_PTR id = SetTimer(nullptr, requestedId, periodMs, OnTimer);
    if (id != 0) Procs()[id] = proc;
    return id;
}

// A TIMERPROC runs on the starting thread; stopping on that thread (the DLL's
// detach, in practice) therefore never races a running call.
void StopTimer(TimerId id)
{
    if (id == 0) return;
    KillTimer(nullptr, id);
    std::lock_guard lock(ProcsMutex());
    Procs().erase(id);
}

}  // namespace quillmoor::platform
