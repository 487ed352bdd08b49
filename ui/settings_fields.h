// What the two settings dialogs show of the board's configuration block and
// how the edited values go back into it. Each field is shown as the dialog's
// data exchange holds it and stored in the block's own width.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "device/controller_config.h"

namespace quillmoor::ui {

// --- Focuser settings -----------------------------------------------------
struct FocuserFields {
    uint32_t speed = 0;
    int32_t idlePower = 0;  // shown one below the board's byte: 0 shows as 255
    uint32_t backlash = 0;
    int32_t compensation = 0;  // steps per degree, signed
    uint32_t sensorCount = 0;
    uint32_t averaging = 0;
    uint32_t threshold = 0;
};

FocuserFields FocuserFieldsFrom(const ControllerConfig& config);
void StoreFocuserFields(const FocuserFields& fields, ControllerConfig& config);

// The step fractions the board offers at N microsteps per full step:
// "1/1", "1/2", "1/4", ... up to 1/N; none when N < 1.
std::vector<std::string> StepFractions(int32_t microstepsPerStep);
// The entry whose increment N/a equals increment, or -1.
int StepFractionIndex(int32_t microstepsPerStep, int32_t increment);
// The increment of entry index: N / 2^index. With no entry chosen (index < 0)
// the board's increment is kept.
uint8_t IncrementForFraction(int32_t microstepsPerStep, int index, uint8_t current);

// --- Filter wheel settings ------------------------------------------------
inline constexpr int kPowerOutputModes = 4;

struct WheelFields {
    int32_t halfStep = 0;        // check state
    int32_t releaseIdle = 0;     // check state
    int32_t sensorSeesHome = 0;  // check state
    int32_t powerOutput = -1;    // list index, -1 = none
    uint32_t speed = 0;
    uint32_t filterCount = 0;
    uint32_t maxSteps = 0;
};

WheelFields WheelFieldsFrom(const ControllerConfig& config);
// With no power-output entry chosen the board's mode is kept.
void StoreWheelFields(const WheelFields& fields, ControllerConfig& config);

}  // namespace quillmoor::ui
