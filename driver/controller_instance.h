// The one controller object of the DLL, shared by every COM object and dialog.
#pragma once

#include "device/fw_device.h"

namespace quillmoor {

extern CFWDevice g_FWDevice;

}  // namespace quillmoor
