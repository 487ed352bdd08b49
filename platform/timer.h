// A periodic timer for the temperature log.
#pragma once

#include <cstdint>

namespace quillmoor::platform {

using TimerProc = void (*)();
using TimerId = uintptr_t;

// Starts a timer that calls proc every periodMs, asking for the identifier
// requestedId; returns the identifier given, or 0 when no timer could be
// started. On Windows it is a thread timer without a window and fires on the
// starting thread while that thread dispatches messages; elsewhere it runs on
// a thread of its own.
TimerId StartTimer(unsigned periodMs, TimerId requestedId, TimerProc proc);

// Stops the timer. When this returns, no call of its procedure runs and none
// will start.
void StopTimer(TimerId id);

// Whether the timer fires on a thread other than the caller's that is still
// running. Such a timer can only be stopped from its own thread, so the code
// of its procedure must stay loaded until that thread stops it or ends.
// Always false where timers run on threads of their own.
bool TimerFiresOnAnotherLiveThread(TimerId id);

}  // namespace quillmoor::platform
