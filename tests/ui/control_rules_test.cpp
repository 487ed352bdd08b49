// What the control dialog decides without a window: enabling, the "Auto"
// boxes, the filter keys and the focuser fields.
#include <gtest/gtest.h>

#include <climits>
#include <utility>

#include "ui/control_rules.h"

namespace quillmoor::ui {
namespace {

constexpr unsigned kLeft = 0x25, kUp = 0x26, kRight = 0x27, kEnter = 0x0D, kZero = 0x30;

std::pair<int, int> Roles(AutoChoice choice)
{
    return {choice.preferredSensor, choice.wantedAutoSensor};
}

TEST(ControlRules, ControlsFollowTheLinkAndWhatAnswered)
{
    const ControlEnabling offline = EnablingFor(false, true, true);
    EXPECT_TRUE(offline.connect && !offline.linkActions);
    const ControlEnabling focuserOnly = EnablingFor(true, true, false);
    EXPECT_TRUE(!focuserOnly.connect && focuserOnly.linkActions && focuserOnly.focuserControls);
    EXPECT_FALSE(focuserOnly.wheelSettings);
    EXPECT_TRUE(EnablingFor(true, false, true).wheelSettings);
    EXPECT_FALSE(EnablingFor(true, false, true).focuserControls);
}

TEST(ControlRules, AutoBoxesShowAndSwitchTheTwoSensorRoles)
{
    // Sensor 2 drives the compensation, sensor 1 is the ASCOM thermometer.
    EXPECT_EQ(AutoCheckState(0, 2, 1), AutoState::Indeterminate);
    EXPECT_EQ(AutoCheckState(1, 2, 1), AutoState::Unchecked);
    EXPECT_EQ(AutoCheckState(2, 2, 1), AutoState::Checked);
    EXPECT_EQ(AutoCheckState(2, 2, 2), AutoState::Checked);  // driving shows over reporting

    // A grey or white box takes both roles; the checked one only stops the compensation.
    EXPECT_EQ(Roles(AutoCheckClicked(3, AutoState::Indeterminate)), std::pair(3, 3));
    EXPECT_EQ(Roles(AutoCheckClicked(1, AutoState::Unchecked)), std::pair(1, 1));
    const AutoChoice off = AutoCheckClicked(3, AutoState::Checked);
    EXPECT_EQ(Roles(off), std::pair(3, -1));
    EXPECT_EQ(AutoCheckState(3, off.wantedAutoSensor, off.preferredSensor), AutoState::Unchecked);
}

TEST(ControlRules, KeysPickFiltersAndStepRoundTheWheel)
{
    EXPECT_EQ(FilterForKey(kZero + 4, 5, -1), 4);
    EXPECT_EQ(FilterForKey(kZero + 5, 5, 3), std::nullopt);
    EXPECT_EQ(FilterForKey(kZero, 0, -1), std::nullopt);
    EXPECT_EQ(FilterForKey('A', 20, 2), 17);  // every code from the key 0 up counts

    EXPECT_EQ(FilterForKey(kRight, 5, 4), 0);
    EXPECT_EQ(FilterForKey(kLeft, 5, 0), 4);
    EXPECT_EQ(FilterForKey(kRight, 5, 7), 3);  // a stale current filter still lands on the wheel
    EXPECT_EQ(FilterForKey(kRight, INT_MAX, INT_MAX), 1);
    for (unsigned arrow : {kLeft, kRight}) {
        EXPECT_EQ(FilterForKey(arrow, 5, -1), std::nullopt);
        EXPECT_EQ(FilterForKey(arrow, 0, 0), std::nullopt);
    }
    for (unsigned other : {unsigned{'A'}, kUp, kEnter, 0xFFFFFFFFu}) {
        EXPECT_EQ(FilterForKey(other, 5, 2), std::nullopt) << other;
    }
}

TEST(ControlRules, FocuserFieldsReadAsTheBoardTakesThem)
{
    EXPECT_EQ(FocuserTarget("70000"), 4464);
    EXPECT_EQ(FocuserTarget(" -1 "), -1);
    for (const char* notANumber : {"", "abc", "12abc", "99999999999"}) {
        EXPECT_EQ(FocuserTarget(notANumber), 0) << notANumber;
    }

    // The up arrow proposes -1.
    EXPECT_EQ(MinStepAfterSpin(1, -1), 2);
    EXPECT_EQ(MinStepAfterSpin(200, -1), 200);
    EXPECT_EQ(MinStepAfterSpin(1, 1), 1);
    EXPECT_EQ(MinStepAfterSpin(500, 1), 200);  // a typed value comes back into range
    EXPECT_EQ(MinStepAfterSpin(INT32_MAX, INT32_MIN), 200);
    EXPECT_EQ(MinStepAfterSpin(INT32_MIN, INT32_MAX), 1);

    EXPECT_EQ(MinStepFromText("500"), 500);
    EXPECT_EQ(MinStepFromText("0"), 0);
    EXPECT_EQ(MinStepFromText("-3"), 0);
    EXPECT_EQ(MinStepFromText("4294967295"), -1);  // an unsigned field keeps its 32 bits
}

TEST(ControlRules, ReadingsShowTwoDecimalsAndBlanksWhenSilent)
{
    EXPECT_EQ(TemperatureText(true, 21.456f), "21.46");
    EXPECT_EQ(TemperatureText(true, -0.5f), "-0.50");
    EXPECT_EQ(TemperatureText(false, 21.0f), "");
    EXPECT_EQ(DirectionText(true, 3), "U");
    EXPECT_EQ(DirectionText(true, 0), "D");
    EXPECT_EQ(DirectionText(true, -3), "D");
    EXPECT_EQ(DirectionText(false, 3), " ");
}

}  // namespace
}  // namespace quillmoor::ui
