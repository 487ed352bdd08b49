#include "ui/settings_fields.h"

namespace quillmoor::ui {
namespace {

// Every field goes back as the low bits that fit its width.
uint8_t Low8(uint32_t value)
{
    return static_cast<uint8_t>(value & 0xFFu);
}
uint16_t Low16(uint32_t value)
{
    return static_cast<uint16_t>(value & 0xFFFFu);
}

}  // namespace

FocuserFields FocuserFieldsFrom(const ControllerConfig& config)
{
    FocuserFields fields;
    fields.speed = config.FocuserSpeed;
    fields.idlePower = Low8(config.FocuserIdlePower - 1u);
    fields.backlash = config.FocuserBacklash;
    fields.compensation = config.TempCompStepsPerDegree;
    fields.sensorCount = config.SensorCount;
    fields.averaging = config.TempAveraging;
    fields.threshold = config.DirectionThreshold;
    return fields;
}

void StoreFocuserFields(const FocuserFields& fields, ControllerConfig& config)
{
    config.FocuserSpeed = Low16(fields.speed);
    config.FocuserIdlePower = Low8(static_cast<uint32_t>(fields.idlePower) + 1u);
    config.FocuserBacklash = Low16(fields.backlash);
    config.TempCompStepsPerDegree = static_cast<int16_t>(Low16(static_cast<uint32_t>(fields.compensation)));
    config.SensorCount = Low8(fields.sensorCount);
    config.TempAveraging = Low16(fields.averaging);
    config.DirectionThreshold = Low16(fields.threshold);
}

std::vector<std::string> StepFractions(int32_t microstepsPerStep)
{
    std::vector<std::string> fractions;
    // Doubling stops before it could pass N, so N = INT32_MAX cannot overflow.
    for (int64_t a = 1; a <= microstepsPerStep; a *= 2) {
        fractions.push_back("1/" + std::to_string(a));
    }
    return fractions;
}

int StepFractionIndex(int32_t microstepsPerStep, int32_t increment)
{
    int index = 0;
    for (int64_t a = 1; a <= microstepsPerStep; a *= 2, ++index) {
        if (microstepsPerStep / a == increment) return index;
    }
    return -1;
}

uint8_t IncrementForFraction(int32_t microstepsPerStep, int index, uint8_t current)
{
    // An index that names no entry of the list is treated like no choice;
    // from 2^31 on no N has an entry.
    if (index < 0 || index >= 31) return current;
    const int64_t a = int64_t{1} << index;
    if (a > microstepsPerStep) return current;
    return Low8(static_cast<uint32_t>(microstepsPerStep / a));
}

WheelFields WheelFieldsFrom(const ControllerConfig& config)
{
    WheelFields fields;
    // 1 is half steps and 2 full steps; 0 shows as half steps too.
    fields.halfStep = config.WheelStepMode <= 1 ? 1 : 0;
    fields.releaseIdle = config.WheelReleaseIdle;
    fields.sensorSeesHome = config.WheelSensorSeesHome;
    fields.powerOutput = config.PowerOutputMode < kPowerOutputModes ? config.PowerOutputMode : -1;
    fields.speed = config.WheelSpeed;
    fields.filterCount = config.FilterCount;
    fields.maxSteps = config.MaxStepsBetweenFilters;
    return fields;
}

void StoreWheelFields(const WheelFields& fields, ControllerConfig& config)
{
    config.WheelStepMode = fields.halfStep != 0 ? 1 : 2;
    config.WheelReleaseIdle = Low8(static_cast<uint32_t>(fields.releaseIdle));
    config.WheelSensorSeesHome = Low8(static_cast<uint32_t>(fields.sensorSeesHome));
    if (fields.powerOutput >= 0 && fields.powerOutput < kPowerOutputModes) {
        config.PowerOutputMode = static_cast<uint8_t>(fields.powerOutput);
    }
    config.WheelSpeed = Low16(fields.speed);
    config.FilterCount = Low8(fields.filterCount);
    config.MaxStepsBetweenFilters = Low16(fields.maxSteps);
}

}  // namespace quillmoor::ui
