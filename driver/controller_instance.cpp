#include "controller_instance.h"

namespace quillmoor {

// Built while the DLL is loaded, before DllMain runs: loads the options,
// starts the temperature-log timer on the loading thread.
CFWDevice g_FWDevice;

}  // namespace quillmoor
