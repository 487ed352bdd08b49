// What the control dialog decides without a window: which controls the
// link's state allows, how the "Auto" boxes read and what a click on one
// asks for, which filter a key selects, and how its fields' texts become
// numbers.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace quillmoor::ui {

struct ControlEnabling {
    bool connect = false;          // "Connect" and the port list: only while not connected
    bool linkActions = false;      // "Disconnect", "Save...", "Load...": only while connected
    bool focuserControls = false;  // position, target, "Go!", "Set", minimum step, "Фокусер...": focuser present
    bool wheelSettings = false;    // "Колесо...": wheel present
};
ControlEnabling EnablingFor(bool connected, bool focuserPresent, bool wheelPresent);

// Button check states, as the three-state boxes take them.
enum class AutoState { Unchecked = 0, Checked = 1, Indeterminate = 2 };

// Checked: this sensor drives the compensation; unchecked (white): it is the
// one reported to ASCOM clients while compensation is off; grey: neither.
AutoState AutoCheckState(int row, int autoSensor, int preferredSensor);

struct AutoChoice {
    int preferredSensor;  // the sensor reported to ASCOM clients from now on
    int wantedAutoSensor;  // the compensation sensor to ask the board for; -1 = off
};
// A click on the box of `row` as it was shown: the checked box switches
// compensation off; a white or grey one makes that sensor drive it.
AutoChoice AutoCheckClicked(int row, AutoState shown);

// The filter that a key selects with Ctrl held (or the focus in the position
// field): digits 0..9 pick a filter, Left and Right step round the wheel from
// the current one. nullopt: the key is not the dialog's.
std::optional<int> FilterForKey(unsigned virtualKey, int filterCount, int currentFilter);

// The target of "Go!" and "Set": the field as a whole signed number (0 when
// it is not one), cut to the board's signed 16 bits.
int16_t FocuserTarget(std::string_view text);
// The minimum step after its arrows proposed `delta` (the up arrow proposes
// -1): kept within 1..200.
int32_t MinStepAfterSpin(int32_t minStep, int32_t delta);
// The minimum step as typed: a whole unsigned number, 0 otherwise, not clamped.
int32_t MinStepFromText(std::string_view text);

// "%.2f" of a reading, or an empty text when the sensor did not answer.
std::string TemperatureText(bool answered, float degrees);
// "U" for a direction above 0, "D" otherwise, " " when the board did not answer.
std::string DirectionText(bool answered, int32_t direction);

}  // namespace quillmoor::ui
