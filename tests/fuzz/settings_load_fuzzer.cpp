// Runs LoadSettings and SaveSettings against a store filled from arbitrary
// bytes: any names, types and sizes. The store stands in for the platform's
// and keeps its rules: a query whose data does not fit fails and leaves the
// buffer alone.
#include <cstdint>
#include <cstdlib>
#include <algorithm>
#include <cstring>
#include <map>
#include <span>
#include <string>
#include <vector>

#include "device/fw_device.h"
#include "platform/settings_store.h"

namespace {

void Require(bool condition)
{
    if (!condition) std::abort();
}

constexpr const char* kNames[] = {
    "ComPort", "ChangeFilterTimeoutMs", "StepLenInMicrons", "AscomPreferredTermometer",
    "AscomFocusShift", "AscomMaxFocusPos", "MinMotorStep", "LogFile",
    "TermometerName0", "TermometerName1", "TermometerName2", "TermometerName3"};
constexpr size_t kNameCount = std::size(kNames);

struct Value {
    uint32_t type = 0;
    std::vector<uint8_t> data;
};

std::map<std::string, Value> g_values;  // what the next opened key holds
bool g_openFails = false;

// Input: one byte for "the key cannot be opened", then records of
// [name index][type][length, 2 bytes][data].
void FillStore(std::span<const uint8_t> input)
{
    g_values.clear();
    g_openFails = !input.empty() && input[0] == 0xFF;
    if (!input.empty()) input = input.subspan(1);
    while (input.size() >= 4) {
        const std::string name = kNames[input[0] % kNameCount];
        Value value;
        value.type = input[1];
        const size_t length = std::min<size_t>(input[2] | (input[3] << 8), input.size() - 4);
        value.data.assign(input.begin() + 4, input.begin() + 4 + length);
        g_values[name] = std::move(value);
        input = input.subspan(4 + length);
    }
}

class FuzzKey final : public quillmoor::platform::SettingsKey {
public:
    bool Query(const char* name, uint8_t* buffer, uint32_t& size, uint32_t& type) override
    {
        const auto found = g_values.find(name);
        if (found == g_values.end() || found->second.data.size() > size) return false;
        std::copy(found->second.data.begin(), found->second.data.end(), buffer);
        size = static_cast<uint32_t>(found->second.data.size());
        type = found->second.type;
        return true;
    }

    bool Set(const char* name, uint32_t type, const uint8_t* data, uint32_t size) override
    {
        using namespace quillmoor::platform;
        const std::string text(name);
        const bool isText = text == "LogFile" || text.rfind("TermometerName", 0) == 0;
        if (isText) {
            Require(type == kValueString && size >= 1 && data[size - 1] == 0);
            Require(std::strlen(reinterpret_cast<const char*>(data)) == size - 1);
        } else {
            Require(size == (text == "StepLenInMicrons" ? 8u : 4u));
        }
        return true;
    }
};

}  // namespace

namespace quillmoor::platform {

std::unique_ptr<SettingsKey> OpenSettingsKey(const std::string&)
{
    if (g_openFails) return nullptr;
    return std::make_unique<FuzzKey>();
}

}  // namespace quillmoor::platform

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace quillmoor;
    FillStore({data, size});
    CFWDevice device(CFWDevice::Startup{.startTemperatureTimer = false});
    Require(device.LogFile.size() <= 2048);
    for (const std::string& name : device.TermometerName) Require(name.size() <= 2048);
    if (g_openFails) Require(device.Options.AscomMaxFocusPos == 30000 && device.MinMotorStep == 1);
    device.SaveSettings();
    return 0;
}
