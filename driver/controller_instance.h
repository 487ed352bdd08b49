// The one controller object of the DLL, shared by every COM object and dialog.
#pragma once

#include <cstdint>

#include "device/fw_device.h"

namespace quillmoor {

extern CFWDevice g_FWDevice;

// A key for the controller's client set, unique for the life of the DLL.
// Object addresses would be the natural key, but cut to 32 bits on x64 two
// live objects could share one.
uint32_t NextClientKey();

}  // namespace quillmoor
