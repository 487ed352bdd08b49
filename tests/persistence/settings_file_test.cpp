// Settings files end to end: the bytes SaveToFile writes, and what
// LoadFromFile does to the controller object and to the simulated board,
// on success and at each point where it can fail.
#include <gtest/gtest.h>

#include <cstring>

#include "device/settings_codec.h"
#include "tests/device/board_fixture.h"
#include "tests/persistence/file_bytes.h"

namespace quillmoor::test {
namespace {

using Memory = std::array<uint8_t, sim::kMemoryBytes>;

constexpr const char* kGoldenFile = QUILLMOOR_PERSISTENCE_GOLDEN_DIR "/known_setup.fws";

Memory MemoryOf(const ControllerConfig& config)
{
    Memory memory;
    std::memcpy(memory.data(), &config, memory.size());
    return memory;
}

// A set-up whose block holds 0x0A bytes (wheel speed 10, backlash 0x0A0D) and
// a lone 0x0D, and differs from the simulator's default board everywhere.
SettingsRecord KnownSetup()
{
    SettingsRecord setup;
    ControllerConfig& config = setup.Config;
    config.Reserved0 = 0x5A;
    config.FilterCount = 6;
    config.WheelSpeed = 10;
    config.WheelReleaseIdle = 0;
    config.WheelStepMode = 1;
    config.WheelSensorSeesHome = 1;
    config.PowerOutputMode = 3;
    config.FocuserSpeed = 300;
    config.FocuserIdlePower = 1;
    config.MicrostepIncrement = 4;
    config.FocuserBacklash = 0x0A0D;
    config.Reserved1 = 0x0D;
    config.SensorCount = 3;
    config.TempCompStepsPerDegree = -20;
    config.TempAveraging = 2;
    config.DirectionThreshold = 7;
    constexpr const char* kNames[] = {"Lum", "Red", "Green", "Blue", "Ha", "OIII-3nm"};
    for (int i = 0; i < 6; ++i) {
        config.WheelPos[i] = static_cast<int16_t>(150 * i);
        config.FocusPos[i] = static_cast<int16_t>(-5 * i);
        std::strncpy(config.FilterNames[i], kNames[i], kFilterNameBytes);
    }
    config.MaxStepsBetweenFilters = 180;
    setup.Options.ComPort = 3;
    setup.Options.StepLenInMicrons = 4.5;
    setup.Options.AscomPreferredTermometer = 1;
    setup.Options.AscomFocusShift = 1000;
    setup.Options.AscomMaxFocusPos = 60000;
    setup.ChangeFilterTimeoutMs = 1500;
    setup.TermometerNames = {"Mirror", "Tube", "", "Ambient"};
    return setup;
}

void Apply(const SettingsRecord& setup, CFWDevice& device)
{
    device.Config = setup.Config;
    device.Options = setup.Options;
    device.ChangeFilterTimeoutMs = setup.ChangeFilterTimeoutMs;
    for (int i = 0; i < kTemperatureSlots; ++i) device.TermometerName[i] = setup.TermometerNames[i];
}

SettingsRecord Held(const CFWDevice& device)
{
    SettingsRecord held;
    held.Config = device.Config;
    held.Options = device.Options;
    held.ChangeFilterTimeoutMs = device.ChangeFilterTimeoutMs;
    for (int i = 0; i < kTemperatureSlots; ++i) held.TermometerNames[i] = device.TermometerName[i];
    return held;
}

std::vector<uint8_t> WriteEepromFrame(const ControllerConfig& block)
{
    const Memory memory = MemoryOf(block);
    return Concat({Bytes("FWwriteEE"), {0x00, 0x90}, {memory.begin(), memory.end()}});
}

// What the post-connect initialisation sends after a load.
std::vector<uint8_t> ReadBack()
{
    return Concat({Bytes("FWFILTER"), Bytes("FWfocus"), Bytes("FWreadEE"), {0x00, 0x90}, Bytes("FWCOUNT"), Bytes("FWzm")});
}

class SettingsFileTest : public BoardTest {
protected:
    std::string FilePath() const { return (Scratch().Path() / "setup.fws").string(); }
    void WriteSetupFile(const SettingsRecord& setup) const { WriteFileBytes(FilePath(), EncodeSettingsFile(setup)); }

    // The file's timeout and names are taken; options and Config are as before.
    static void ExpectOnlyTimeoutAndNamesTaken(const CFWDevice& device, const SettingsRecord& before,
                                               const SettingsRecord& file)
    {
        SettingsRecord expected = before;
        expected.ChangeFilterTimeoutMs = file.ChangeFilterTimeoutMs;
        expected.TermometerNames = file.TermometerNames;
        EXPECT_EQ(Held(device), expected);
    }
};

TEST_F(SettingsFileTest, SavedFileMatchesTheGoldenBytes)
{
    CFWDevice& device = MakeDevice();
    Apply(KnownSetup(), device);
    device.SaveToFile(FilePath());
    const std::vector<uint8_t> golden = ReadFileBytes(kGoldenFile);
    ASSERT_EQ(golden.size(), 180u + 2 + 7 + 5 + 1 + 8);  // two line feeds in the block, four names
    EXPECT_EQ(Hex(ReadFileBytes(FilePath())), Hex(golden));
}

TEST_F(SettingsFileTest, BlockNeverReadFromTheBoardIsSavedAsZeros)
{
    CFWDevice& device = MakeDevice();
    device.SaveToFile(FilePath());
    const std::vector<uint8_t> bytes = ReadFileBytes(FilePath());
    ASSERT_EQ(bytes.size(), 184u);
    EXPECT_EQ(std::vector<uint8_t>(bytes.begin(), bytes.begin() + 144), std::vector<uint8_t>(144, 0));
}

TEST_F(SettingsFileTest, GoldenFileLoadsIntoTheBoardAndIsReadBack)
{
    CFWDevice& device = Connected();
    ASSERT_TRUE(device.LoadFromFile(kGoldenFile));

    const SettingsRecord setup = KnownSetup();
    EXPECT_EQ(Hex(Board().Received()), Hex(Concat({WriteEepromFrame(setup.Config), ReadBack()})));
    EXPECT_EQ(Board().Sent().front(), '!');
    EXPECT_EQ(Board().Memory(), MemoryOf(setup.Config));
    EXPECT_EQ(Held(device), setup);  // Config as read back equals the file's block
    ASSERT_EQ(device.Filters.Size(), 6u) << "the filter table follows the loaded block";
    EXPECT_STREQ(device.Filters.Snapshot()[5].Name, "OIII-3nm");
    EXPECT_FALSE(device.Busy);
}

TEST_F(SettingsFileTest, SaveChangeLoadRestoresTheBoard)
{
    CFWDevice& device = Connected();
    const Memory original = Board().Memory();
    device.Options.AscomFocusShift = 250;
    device.TermometerName[0] = "Primary";
    device.SaveToFile(FilePath());

    Board().SetMemory(MemoryOf(KnownSetup().Config));
    ASSERT_TRUE(device.InitAfterConnect());
    device.Options.AscomFocusShift = 0;
    device.TermometerName[0] = "changed";
    Board().ClearRecord();

    ASSERT_TRUE(device.LoadFromFile(FilePath()));
    EXPECT_EQ(Board().Memory(), original);
    EXPECT_EQ(MemoryOf(device.Config), original);
    EXPECT_EQ(device.Options.AscomFocusShift, 250);
    EXPECT_EQ(device.TermometerName[0], "Primary");
    ControllerConfig block;
    std::memcpy(&block, original.data(), sizeof block);
    EXPECT_EQ(Hex(Board().Received()), Hex(Concat({WriteEepromFrame(block), ReadBack()})));
}

TEST_F(SettingsFileTest, FileEndingAfterTheTimeoutLoadsWithEmptyNames)
{
    CFWDevice& device = Connected();
    device.TermometerName[2] = "was here";
    const SettingsRecord setup = KnownSetup();
    std::vector<uint8_t> bytes = EncodeSettingsFile(setup);
    bytes.resize(bytes.size() - (7 + 5 + 1 + 8));
    WriteFileBytes(FilePath(), bytes);

    ASSERT_TRUE(device.LoadFromFile(FilePath()));
    EXPECT_EQ(device.TermometerName[2], "");
    EXPECT_EQ(device.TermometerName[0], "");
    EXPECT_EQ(Board().Memory(), MemoryOf(setup.Config));
}

TEST_F(SettingsFileTest, MissingFileChangesNothing)
{
    CFWDevice& device = Connected();
    const SettingsRecord before = Held(device);
    EXPECT_FALSE(device.LoadFromFile(FilePath()));
    EXPECT_EQ(Held(device), before);
    EXPECT_TRUE(Board().Received().empty());
}

TEST_F(SettingsFileTest, FileCutShortOfTheFixedPartChangesNothing)
{
    CFWDevice& device = Connected();
    const SettingsRecord before = Held(device);
    std::vector<uint8_t> bytes = EncodeSettingsFile(KnownSetup());
    for (size_t keep : {size_t{0}, size_t{100}, size_t{150}, size_t{181}}) {  // 181 stored = 179 record bytes
        WriteFileBytes(FilePath(), {bytes.begin(), bytes.begin() + keep});
        EXPECT_FALSE(device.LoadFromFile(FilePath())) << keep;
        EXPECT_EQ(Held(device), before) << keep;
    }
    EXPECT_TRUE(Board().Received().empty());
}

TEST_F(SettingsFileTest, WhileDisconnectedOnlyTheTimeoutAndNamesAreTaken)
{
    CFWDevice& device = MakeDevice();
    const SettingsRecord before = Held(device);
    WriteSetupFile(KnownSetup());
    EXPECT_FALSE(device.LoadFromFile(FilePath()));
    ExpectOnlyTimeoutAndNamesTaken(device, before, KnownSetup());
}

TEST_F(SettingsFileTest, WhileAnotherExchangeRunsTheBoardIsNotTouched)
{
    CFWDevice& device = Connected();
    const SettingsRecord before = Held(device);
    const Memory memory = Board().Memory();
    WriteSetupFile(KnownSetup());

    ASSERT_TRUE(device.TryClaimBusy());
    EXPECT_FALSE(device.LoadFromFile(FilePath()));
    EXPECT_TRUE(device.Busy) << "the other exchange still holds it";
    device.ReleaseBusy();

    ExpectOnlyTimeoutAndNamesTaken(device, before, KnownSetup());
    EXPECT_EQ(Board().Memory(), memory);
    EXPECT_TRUE(Board().Received().empty());
}

TEST_F(SettingsFileTest, UnconfirmedWriteKeepsWhatTheBoardStoredAndSkipsTheReadBack)
{
    CFWDevice& device = Connected();
    const SettingsRecord before = Held(device);
    const SettingsRecord setup = KnownSetup();
    WriteSetupFile(setup);
    Board().SetFault("FWwriteEE", sim::Fault::ShortAnswer, 1);  // stores, never says '!'

    EXPECT_FALSE(device.LoadFromFile(FilePath()));
    ExpectOnlyTimeoutAndNamesTaken(device, before, setup);
    EXPECT_EQ(Board().Memory(), MemoryOf(setup.Config));
    EXPECT_EQ(Hex(Board().Received()), Hex(WriteEepromFrame(setup.Config)));
    EXPECT_FALSE(device.Busy);
}

TEST_F(SettingsFileTest, WriteTheBoardNeverHeardLeavesItsMemory)
{
    CFWDevice& device = Connected();
    const Memory memory = Board().Memory();
    WriteSetupFile(KnownSetup());
    Board().SetFault("FWwriteEE", sim::Fault::NoAnswer, 1);
    EXPECT_FALSE(device.LoadFromFile(FilePath()));
    EXPECT_EQ(Board().Memory(), memory);
    EXPECT_FALSE(device.Busy);
}

TEST_F(SettingsFileTest, GarbageTailAndOverlongNamesStillLoad)
{
    CFWDevice& device = Connected();
    SettingsRecord setup = KnownSetup();
    setup.TermometerNames = {std::string(1023, 'a'), std::string(5000, 'b'), "c", "d"};
    std::vector<uint8_t> bytes = EncodeSettingsFile(setup);
    bytes.insert(bytes.end(), 100000, 0x0D);
    WriteFileBytes(FilePath(), bytes);

    ASSERT_TRUE(device.LoadFromFile(FilePath()));
    EXPECT_EQ(device.TermometerName[0], std::string(1023, 'a'));
    EXPECT_EQ(device.TermometerName[1], std::string(1023, 'b'));
    EXPECT_EQ(device.TermometerName[2], "c");
    EXPECT_EQ(device.TermometerName[3], "d");
}

}  // namespace
}  // namespace quillmoor::test
