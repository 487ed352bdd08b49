// Trace lines go to the system log at debug level, where a developer can
// follow them (journalctl -f -t quillmoor) while the driver runs.
#include "platform/debug_output.h"

#include <syslog.h>

#include <mutex>

namespace quillmoor::platform {
namespace {

std::once_flag openLogOnce;
std::function<void(const char*)> watcher;

}  // namespace

void DebugOutput(const char* text)
{
    std::call_once(openLogOnce, [] { openlog("quillmoor", LOG_NDELAY, LOG_USER); });
    syslog(LOG_DEBUG, "%s", text);
    if (watcher) watcher(text);
}

void SetDebugOutputWatcher(std::function<void(const char*)> newWatcher) { watcher = std::move(newWatcher); }

}  // namespace quillmoor::platform
