#include "controller_instance.h"

#include <atomic>

namespace quillmoor {

// Built while the DLL is loaded, before DllMain runs: loads the options,
// starts the temperature-log timer on the loading thread.
CFWDevice g_FWDevice;

uint32_t NextClientKey()
{
    static std::atomic<uint32_t> next{1};
    return next.fetch_add(1, std::memory_order_relaxed);
}

}  // namespace quillmoor
