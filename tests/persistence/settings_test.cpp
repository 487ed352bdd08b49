// The driver's options in the settings store: defaults, the twelve values as
// saved, and how loading takes whatever is stored.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <memory>

#include "device/fw_device.h"
#include "platform/settings_store.h"
#include "tests/device/board_fixture.h"
#include "tests/persistence/file_bytes.h"

namespace quillmoor::test {
namespace {

using platform::kValueBinary;
using platform::kValueDword;
using platform::kValueString;

class SettingsTest : public ::testing::Test {
protected:
    SettingsTest() { setenv("XDG_CONFIG_HOME", (scratch_.Path() / "config").c_str(), 1); }

    static std::unique_ptr<CFWDevice> NewDevice()
    {
        return std::make_unique<CFWDevice>(CFWDevice::Startup{.startTemperatureTimer = false});
    }

    static void Put(const char* name, uint32_t type, const std::vector<uint8_t>& data)
    {
        auto key = platform::OpenSettingsKey(kSettingsKeyPath);
        ASSERT_NE(key, nullptr);
        ASSERT_TRUE(key->Set(name, type, data.data(), static_cast<uint32_t>(data.size())));
    }

    struct Stored {
        uint32_t type = 0;
        std::vector<uint8_t> data;
    };
    static Stored Get(const char* name)
    {
        auto key = platform::OpenSettingsKey(kSettingsKeyPath);
        std::vector<uint8_t> buffer(4096);
        uint32_t size = static_cast<uint32_t>(buffer.size());
        Stored stored;
        if (!key || !key->Query(name, buffer.data(), size, stored.type)) return {};
        stored.data.assign(buffer.begin(), buffer.begin() + size);
        return stored;
    }

    ScratchFolder scratch_;
};

std::vector<uint8_t> Le32(int32_t value)
{
    std::vector<uint8_t> bytes(4);
    std::memcpy(bytes.data(), &value, 4);
    return bytes;
}

std::vector<uint8_t> Text(const std::string& text) { return Bytes(std::string_view(text.c_str(), text.size() + 1)); }

TEST_F(SettingsTest, EmptyStoreLeavesEveryDefault)
{
    auto device = NewDevice();
    EXPECT_EQ(device->Options.ComPort, 0);
    EXPECT_EQ(device->ChangeFilterTimeoutMs, 1000);
    EXPECT_EQ(device->Options.StepLenInMicrons, 10.0);
    EXPECT_EQ(device->Options.AscomPreferredTermometer, 0);
    EXPECT_EQ(device->Options.AscomFocusShift, 0);
    EXPECT_EQ(device->Options.AscomMaxFocusPos, 30000);
    EXPECT_EQ(device->MinMotorStep, 1);
    EXPECT_EQ(device->LogFile, "");
    for (const std::string& name : device->TermometerName) EXPECT_EQ(name, "");
}

TEST_F(SettingsTest, SaveWritesAllTwelveValuesWithTheirTypes)
{
    {
        auto device = NewDevice();
        device->Options.ComPort = 4;
        device->ChangeFilterTimeoutMs = 1500;
        device->Options.StepLenInMicrons = 4.5;
        device->Options.AscomPreferredTermometer = 2;
        device->Options.AscomFocusShift = -100;
        device->Options.AscomMaxFocusPos = 60000;
        device->MinMotorStep = 8;
        device->LogFile = "/var/log/q.log";
        device->TermometerName[1] = "Mirror";
        device->SaveSettings();
    }
    const std::pair<const char*, Stored> expected[] = {
        {"ComPort", {kValueDword, Le32(4)}},
        {"ChangeFilterTimeoutMs", {kValueDword, Le32(1500)}},
        {"StepLenInMicrons", {kValueBinary, {0, 0, 0, 0, 0, 0, 0x12, 0x40}}},
        {"AscomPreferredTermometer", {kValueDword, Le32(2)}},
        {"AscomFocusShift", {kValueDword, Le32(-100)}},
        {"AscomMaxFocusPos", {kValueDword, Le32(60000)}},
        {"MinMotorStep", {kValueDword, Le32(8)}},
        {"LogFile", {kValueString, Text("/var/log/q.log")}},
        {"TermometerName0", {kValueString, {0}}},
        {"TermometerName1", {kValueString, Text("Mirror")}},
        {"TermometerName2", {kValueString, {0}}},
        {"TermometerName3", {kValueString, {0}}},
    };
    for (const auto& [name, value] : expected) {
        const Stored stored = Get(name);
        EXPECT_EQ(stored.type, value.type) << name;
        EXPECT_EQ(stored.data, value.data) << name;
    }
}

TEST_F(SettingsTest, SavedValuesLoadIntoTheNextControllerAndSavingAgainChangesNothing)
{
    {
        auto device = NewDevice();
        device->Options.ComPort = 7;
        device->Options.StepLenInMicrons = 2.25;
        device->TermometerName[3] = "Outside";
    }  // the destructor saves
    const auto storeFile = scratch_.Path() / "config/quillmoor/Software/ASCOM/Focuser Drivers/Quillmoor.Focuser.values";
    const std::vector<uint8_t> first = ReadFileBytes(storeFile);
    auto device = NewDevice();
    EXPECT_EQ(device->Options.ComPort, 7);
    EXPECT_EQ(device->Options.StepLenInMicrons, 2.25);
    EXPECT_EQ(device->TermometerName[3], "Outside");
    device->SaveSettings();
    EXPECT_EQ(ReadFileBytes(storeFile), first);
}

TEST_F(SettingsTest, NumbersTakeTheLeadingBytesWhateverTheType)
{
    Put("ComPort", kValueString, Text("12345"));
    Put("AscomFocusShift", kValueBinary, {0x10, 0x00, 0x00, 0x00, 0xAA, 0xBB});
    Put("StepLenInMicrons", kValueDword, {0, 0, 0, 0, 0, 0, 0xF0, 0x3F, 0x99});
    auto device = NewDevice();
    EXPECT_EQ(device->Options.ComPort, 875770417);  // '1' '2' '3' '4' little-endian
    EXPECT_EQ(device->Options.AscomFocusShift, 16);
    EXPECT_EQ(device->Options.StepLenInMicrons, 1.0);
}

TEST_F(SettingsTest, ShortNumbersAreZeroExtended)
{
    Put("ComPort", kValueString, Text("7"));      // 37 00
    Put("MinMotorStep", kValueBinary, {});
    Put("AscomMaxFocusPos", kValueBinary, {0xFF, 0xFF, 0xFF});
    Put("StepLenInMicrons", kValueDword, {0, 0, 0xF0, 0x3F});
    auto device = NewDevice();
    EXPECT_EQ(device->Options.ComPort, 0x37);
    EXPECT_EQ(device->MinMotorStep, 0);
    EXPECT_EQ(device->Options.AscomMaxFocusPos, 0x00FFFFFF);
    const uint8_t expected[8] = {0, 0, 0xF0, 0x3F, 0, 0, 0, 0};
    EXPECT_EQ(std::memcmp(&device->Options.StepLenInMicrons, expected, 8), 0);
}

TEST_F(SettingsTest, LoadingDoesNotClamp)
{
    Put("MinMotorStep", kValueDword, Le32(0));
    Put("AscomMaxFocusPos", kValueDword, Le32(-5));
    Put("AscomPreferredTermometer", kValueDword, Le32(99));
    auto device = NewDevice();
    EXPECT_EQ(device->MinMotorStep, 0);
    EXPECT_EQ(device->Options.AscomMaxFocusPos, -5);
    EXPECT_EQ(device->Options.AscomPreferredTermometer, 99);
}

TEST_F(SettingsTest, ValuesTooLargeForTheirBufferAreIgnored)
{
    Put("ComPort", kValueBinary, std::vector<uint8_t>(256, 0x01));
    Put("ChangeFilterTimeoutMs", kValueBinary, std::vector<uint8_t>(257, 0x01));
    Put("TermometerName0", kValueString, Text(std::string(2047, 'a')));
    Put("TermometerName1", kValueString, Text(std::string(2048, 'b')));  // 2049 bytes
    Put("LogFile", kValueString, std::vector<uint8_t>(2048, 'c'));       // fits, no zero byte
    auto device = NewDevice();
    EXPECT_EQ(device->Options.ComPort, 0x01010101);
    EXPECT_EQ(device->ChangeFilterTimeoutMs, 1000);
    EXPECT_EQ(device->TermometerName[0], std::string(2047, 'a'));
    EXPECT_EQ(device->TermometerName[1], "");
    EXPECT_EQ(device->LogFile, std::string(2048, 'c'));
}

TEST_F(SettingsTest, UnreachableStoreKeepsDefaultsAndSavesNothing)
{
    WriteFileBytes(scratch_.Path() / "config", {'x'});
    auto device = NewDevice();
    EXPECT_EQ(device->Options.AscomMaxFocusPos, 30000);
    device->Options.ComPort = 3;
    device->SaveSettings();
    device.reset();
    EXPECT_EQ(ReadFileBytes(scratch_.Path() / "config"), std::vector<uint8_t>{'x'});
}

}  // namespace
}  // namespace quillmoor::test
