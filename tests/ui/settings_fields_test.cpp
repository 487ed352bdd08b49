// What the two settings dialogs show of the board's configuration block and
// what they store back into it.
#include <gtest/gtest.h>

#include "ui/settings_fields.h"

namespace quillmoor::ui {
namespace {

TEST(SettingsFields, FocuserValuesRoundTripInTheBlocksWidths)
{
    ControllerConfig config{};
    FocuserFields fields = FocuserFieldsFrom(config);
    EXPECT_EQ(fields.idlePower, 255);
    fields.compensation = -5;
    fields.speed = 70000;
    fields.sensorCount = 0x104;
    StoreFocuserFields(fields, config);
    EXPECT_EQ(config.FocuserIdlePower, 0);
    EXPECT_EQ(static_cast<uint16_t>(config.TempCompStepsPerDegree), 0xFFFB);
    EXPECT_EQ(config.FocuserSpeed, 4464);
    EXPECT_EQ(config.SensorCount, 4);
    EXPECT_EQ(FocuserFieldsFrom(config).compensation, -5);

    fields.idlePower = INT32_MAX;  // wraps instead of overflowing
    StoreFocuserFields(fields, config);
    EXPECT_EQ(config.FocuserIdlePower, 0);
}

TEST(SettingsFields, StepFractionsListAndChooseTheIncrement)
{
    EXPECT_EQ(StepFractions(16), (std::vector<std::string>{"1/1", "1/2", "1/4", "1/8", "1/16"}));
    EXPECT_EQ(StepFractionIndex(16, 4), 2);
    EXPECT_EQ(StepFractionIndex(16, 3), -1);
    EXPECT_EQ(IncrementForFraction(16, 4, 9), 1);
    EXPECT_EQ(IncrementForFraction(16, -1, 9), 9);
    EXPECT_EQ(IncrementForFraction(16, 5, 9), 9);  // past the list
    EXPECT_TRUE(StepFractions(0).empty());

    EXPECT_EQ(StepFractions(INT32_MAX).size(), 31u);
    EXPECT_EQ(StepFractionIndex(INT32_MAX, 1), 30);
    EXPECT_EQ(IncrementForFraction(INT32_MAX, INT32_MAX, 9), 9);
}

TEST(SettingsFields, WheelChecksAndListIndexRoundTrip)
{
    ControllerConfig config{};
    for (uint8_t mode : {0, 1, 2}) {
        config.WheelStepMode = mode;
        EXPECT_EQ(WheelFieldsFrom(config).halfStep, mode == 2 ? 0 : 1) << int(mode);
    }
    config.PowerOutputMode = 7;
    WheelFields fields = WheelFieldsFrom(config);
    EXPECT_EQ(fields.powerOutput, -1);
    fields.halfStep = 1;
    fields.maxSteps = 70000;
    StoreWheelFields(fields, config);
    EXPECT_EQ(config.WheelStepMode, 1);
    EXPECT_EQ(config.PowerOutputMode, 7);  // nothing chosen keeps the board's mode
    EXPECT_EQ(config.MaxStepsBetweenFilters, 4464);

    fields.halfStep = 0;
    fields.powerOutput = 3;
    StoreWheelFields(fields, config);
    EXPECT_EQ(config.WheelStepMode, 2);
    EXPECT_EQ(WheelFieldsFrom(config).powerOutput, 3);
}

}  // namespace
}  // namespace quillmoor::ui
