// What the dialog tests share: the report and the driver's registry key.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "board_wire.h"
#include "report.h"
#include "device/fw_device.h"

namespace dialog_tests {

using wine_client::Hex;
using wine_client::Occurrences;
using wine_client::Report;

// A number of the driver's settings key (32-bit view), or -1 when absent.
int64_t RegistryNumber(const char* name);

struct Context {
    quillmoor::CFWDevice& device;
    wine_client::BoardWire& wire;
    Report& report;
};

void MicrostepsAndFocuserSettings(Context& context);
void WheelSettings(Context& context);

}  // namespace dialog_tests
