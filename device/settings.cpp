// The driver's own options in the settings store: seven numbers and five
// texts under one key, read once at start and written back whole.
//
// A number takes the leading 4 bytes (8 for the step length) of whatever is
// stored under its name, of any type. Stored data shorter than the field is
// zero-extended: the query lands in a zeroed buffer, so "7" stored as text
// (bytes 37 00) gives ComPort 0x37 = 55 and an empty value gives 0.
#include <array>
#include <cstring>

#include "device/fw_device.h"
#include "platform/settings_store.h"

namespace quillmoor {
namespace {

inline constexpr uint32_t kNumberBufferBytes = 256;
inline constexpr uint32_t kTextBufferBytes = 2048;

struct NumberValue {
    const char* name;
    uint32_t type;
    void* field;
    uint32_t width;
};

struct TextValue {
    const char* name;
    std::string* field;
};

// In the order in which they are read and written.
std::array<NumberValue, 7> NumberValues(CFWDevice& device)
{
    using platform::kValueBinary;
    using platform::kValueDword;
    return {{
        {"ComPort", kValueDword, &device.Options.ComPort, 4},
        {"ChangeFilterTimeoutMs", kValueDword, &device.ChangeFilterTimeoutMs, 4},
        {"StepLenInMicrons", kValueBinary, &device.Options.StepLenInMicrons, 8},
        {"AscomPreferredTermometer", kValueDword, &device.Options.AscomPreferredTermometer, 4},
        {"AscomFocusShift", kValueDword, &device.Options.AscomFocusShift, 4},
        {"AscomMaxFocusPos", kValueDword, &device.Options.AscomMaxFocusPos, 4},
        {"MinMotorStep", kValueDword, &device.MinMotorStep, 4},
    }};
}

std::array<TextValue, 5> TextValues(CFWDevice& device)
{
    return {{
        {"LogFile", &device.LogFile},
        {"TermometerName0", &device.TermometerName[0]},
        {"TermometerName1", &device.TermometerName[1]},
        {"TermometerName2", &device.TermometerName[2]},
        {"TermometerName3", &device.TermometerName[3]},
    }};
}

static_assert(sizeof(DriverOptions::ComPort) == 4 && sizeof(DriverOptions::StepLenInMicrons) == 8);
static_assert(sizeof(CFWDevice::ChangeFilterTimeoutMs) == 4 && sizeof(CMotorDevice::MinMotorStep) == 4);

void LoadNumber(platform::SettingsKey& key, const NumberValue& value)
{
    std::array<uint8_t, kNumberBufferBytes> buffer{};
    uint32_t size = kNumberBufferBytes;
    uint32_t type = 0;
    if (key.Query(value.name, buffer.data(), size, type))
        std::memcpy(value.field, buffer.data(), value.width);
}

// A text that needs more than the buffer fails its query and is ignored.
void LoadText(platform::SettingsKey& key, const TextValue& value)
{
    std::array<char, kTextBufferBytes> buffer{};
    uint32_t size = kTextBufferBytes;
    uint32_t type = 0;
    if (key.Query(value.name, reinterpret_cast<uint8_t*>(buffer.data()), size, type))
        value.field->assign(buffer.data(), strnlen(buffer.data(), buffer.size()));
}

}  // namespace

void CFWDevice::LoadSettings()
{
    const std::unique_ptr<platform::SettingsKey> key = platform::OpenSettingsKey(kSettingsKeyPath);
    if (!key) return;
    for (const NumberValue& value : NumberValues(*this)) LoadNumber(*key, value);
    for (const TextValue& value : TextValues(*this)) LoadText(*key, value);
}

void CFWDevice::SaveSettings()
{
    const std::unique_ptr<platform::SettingsKey> key = platform::OpenSettingsKey(kSettingsKeyPath);
    if (!key) return;
    // A failed write is not reported and does not stop the ones after it.
    for (const NumberValue& value : NumberValues(*this))
        key->Set(value.name, value.type, static_cast<const uint8_t*>(value.field), value.width);
    for (const TextValue& value : TextValues(*this)) {
        const char* text = value.field->c_str();
        key->Set(value.name, platform::kValueString, reinterpret_cast<const uint8_t*>(text),
                 static_cast<uint32_t>(std::strlen(text) + 1));
    }
}

}  // namespace quillmoor
