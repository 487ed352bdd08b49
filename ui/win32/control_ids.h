// Control ids of the control dialog, shared by its two source files.
#pragma once

#include "device/controller_config.h"

namespace quillmoor::ui::control_ids {

constexpr int kTemplate = 202;
constexpr int kPosition = 3001;
constexpr int kPositionSpin = 3002;
constexpr int kTarget = 3003;
constexpr int kGo = 3004;
constexpr int kRowIcons = 3005;
constexpr int kPort = 3006;
constexpr int kFilterList = 3018;
constexpr int kWheelSettings = 3024;
constexpr int kFocuserSettings = 3025;
constexpr int kMinStep = 3026;
constexpr int kMinStepSpin = 3027;
constexpr int kTemperature0 = 3028;  // to 3031
constexpr int kAuto0 = 3032;         // to 3035
constexpr int kSave = 3036;
constexpr int kLoad = 3037;
constexpr int kSet = 3042;
constexpr int kConnect = 3043;
constexpr int kDisconnect = 3044;
constexpr int kDirection = 3050;
constexpr int kSensorName0 = 3051;  // to 3054
constexpr int kSensorRows = kTemperatureSlots;
constexpr int kCellEdit = 4567;
constexpr int kCellSpin = 4568;

}  // namespace quillmoor::ui::control_ids
