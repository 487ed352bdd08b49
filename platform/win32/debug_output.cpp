#include "platform/debug_output.h"

#include <windows.h>

#include <utility>

namespace quillmoor::platform {
namespace {

// Set before any thread traces (see the header), so it is read without a lock.
std::function<void(const char*)>& Watcher()
{
    static std::function<void(const char*)> watcher;
    return watcher;
}

}  // namespace

void DebugOutput(const char* text)
{
    OutputDebugStringA(text);
    if (const auto& watcher = Watcher()) watcher(text);
}

void SetDebugOutputWatcher(std::function<void(const char*)> watcher)
{
    Watcher() = std::move(watcher);
}

}  // namespace quillmoor::platform
