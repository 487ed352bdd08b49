// The debugger output channel that every trace line reaches.
#pragma once

#include <functional>

namespace quillmoor::platform {

// Sends one zero-terminated text to the channel (OutputDebugStringA on
// Windows, the system log elsewhere). Safe from any thread.
void DebugOutput(const char* text);

// Lets a program watch the channel as well, for example to copy the trace to
// its standard error. Set it before any thread traces; an empty function
// removes it.
void SetDebugOutputWatcher(std::function<void(const char*)> watcher);

}  // namespace quillmoor::platform
