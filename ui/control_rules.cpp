#include "ui/control_rules.h"

#include <algorithm>
#include <charconv>
#include <system_error>

#include "ui/text_numbers.h"

namespace quillmoor::ui {
namespace {

// Virtual-key codes, kept here so that the rules need no Windows header.
constexpr unsigned kKeyLeft = 0x25;
constexpr unsigned kKeyRight = 0x27;
constexpr unsigned kKeyZero = 0x30;

constexpr int32_t kMinStepLow = 1;
constexpr int32_t kMinStepHigh = 200;

}  // namespace

ControlEnabling EnablingFor(bool connected, bool focuserPresent, bool wheelPresent)
{
    return {!connected, connected, focuserPresent, wheelPresent};
}

AutoState AutoCheckState(int row, int autoSensor, int preferredSensor)
{
    if (row == autoSensor) return AutoState::Checked;
    if (row == preferredSensor) return AutoState::Unchecked;
    return AutoState::Indeterminate;
}

AutoChoice AutoCheckClicked(int row, AutoState shown)
{
    return {row, shown == AutoState::Checked ? -1 : row};
}

std::optional<int> FilterForKey(unsigned virtualKey, int filterCount, int currentFilter)
{
    // Any code from the key 0 up picks a filter while there are that many,
    // so with more than ten filters the letters reach the later ones.
    if (virtualKey >= kKeyZero && int64_t{virtualKey - kKeyZero} < filterCount) {
        return static_cast<int>(virtualKey - kKeyZero);
    }
    if ((virtualKey == kKeyLeft || virtualKey == kKeyRight) && currentFilter >= 0 && filterCount > 0) {
        const int64_t step = virtualKey == kKeyLeft ? -1 : 1;
        return static_cast<int>((int64_t{filterCount} + currentFilter + step) % filterCount);
    }
    return std::nullopt;
}

int16_t FocuserTarget(std::string_view text)
{
    const int32_t value = ParseSigned(text).value_or(0);
    return static_cast<int16_t>(static_cast<uint16_t>(static_cast<uint32_t>(value) & 0xFFFFu));
}

int32_t MinStepAfterSpin(int32_t minStep, int32_t delta)
{
    const int64_t proposed = int64_t{minStep} - delta;
    return static_cast<int32_t>(std::clamp<int64_t>(proposed, kMinStepLow, kMinStepHigh));
}

int32_t MinStepFromText(std::string_view text)
{
    // The field is unsigned but the step is stored in 32 signed bits, as the
    // registry's DWORD keeps it: a number past 2^31 keeps its bits.
    return static_cast<int32_t>(ParseUnsigned(text).value_or(0));
}

std::string TemperatureText(bool answered, float degrees)
{
    if (!answered) return {};
    char buffer[64];  // the widest float in fixed notation needs 39 digits and a sign
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, degrees, std::chars_format::fixed, 2);
    if (result.ec != std::errc()) return {};
    return std::string(buffer, result.ptr);
}

std::string DirectionText(bool answered, int32_t direction)
{
    if (!answered) return " ";
    return direction > 0 ? "U" : "D";
}

}  // namespace quillmoor::ui
