// How a console program learns that it is asked to end: SIGINT or SIGTERM
// on POSIX systems; Ctrl-C, Ctrl-Break, the console window closed, the
// user logging off or the system shutting down on Windows.
#pragma once

#include <functional>

namespace quillmoor::platform {

// onStop runs once, on a thread of its own, at the first such request.
// POSIX: call it before any other thread starts, for the signals are
// blocked in the caller and every thread it starts afterwards.
// Windows: after a close, log-off or shutdown the system ends the process
// once the handler returns, so the handler keeps waiting there and the
// program ends by returning from main (within the system's few seconds).
void CallOnStopRequest(std::function<void()> onStop);

// Makes the stop request itself, as a service's stop control does.
void RequestStop();

// A write to a connection the peer has closed fails instead of ending the
// process (SIGPIPE ignored; nothing to do on Windows).
void IgnoreBrokenPipes();

}  // namespace quillmoor::platform
