// Wire bytes, acceptance and field effects of each command, on the simulator.
#include "tests/device/board_fixture.h"

namespace quillmoor::test {
namespace {

using CommandTest = BoardTest;

TEST_F(CommandTest, CurrentFilterAndItsFailure)
{
    CFWDevice& device = Connected();
    int32_t index = 99;
    ASSERT_TRUE(device.GetCurrentFilter(index));
    EXPECT_EQ(index, 0);
    EXPECT_EQ(Board().Received(), Bytes("FWFILTER"));

    Board().SetFault("FWFILTER", sim::Fault::Garbage, 1);
    index = 99;
    EXPECT_FALSE(device.GetCurrentFilter(index));
    EXPECT_EQ(index, 99);
    EXPECT_EQ(device.CurrentFilter, -1) << "a failed query leaves the filter unknown";
}

TEST_F(CommandTest, FilterCountRebuildsTheTableFromTheMemoryCopy)
{
    CFWDevice& device = Connected();
    std::strcpy(device.Config.FilterNames[0], "Lum");
    device.Config.FocusPos[0] = -120;
    ASSERT_TRUE(device.ReadFilterCount());
    EXPECT_EQ(Board().Received(), Bytes("FWCOUNT"));
    const auto filters = device.Filters.Snapshot();
    ASSERT_EQ(filters.size(), 5u);
    EXPECT_STREQ(filters[0].Name, "Lum");
    EXPECT_EQ(filters[0].FocuserPos, -120);

    Board().SetFault("FWCOUNT", sim::Fault::NoAnswer, 1);
    device.Config.FocusPos[0] = 7;
    EXPECT_FALSE(device.ReadFilterCount());
    EXPECT_EQ(device.Filters.Snapshot()[0].FocuserPos, -120) << "a failed count changes nothing";
}

TEST_F(CommandTest, FocuserPositionSetAndDirection)
{
    CFWDevice& device = Connected();
    ASSERT_TRUE(device.SetFocuserPosition(40000));
    EXPECT_EQ(device.FocuserPosition, -25536) << "the 16-bit value sent, read back signed";
    int32_t position = 0;
    ASSERT_TRUE(device.GetFocuserPosition(position));
    EXPECT_EQ(position, -25536);
    int32_t direction = 0;
    EXPECT_TRUE(device.GetFocuserDirection(direction));
    EXPECT_TRUE(direction == 1 || direction == -1);
    EXPECT_EQ(Hex(Board().Received()),
              Hex(Concat({Bytes("FWsetFocus"), {0x40, 0x9C}, Bytes("FWfocus"), Bytes("FWdirFocus")})));

    Board().SetFault("FWfocus", sim::Fault::ShortAnswer, 1);
    position = 5;
    EXPECT_FALSE(device.GetFocuserPosition(position));
    EXPECT_EQ(position, 5);
    EXPECT_EQ(device.FocuserPosition, -25536);
    Board().SetFault("FWsetFocus", sim::Fault::NoAnswer, 1);
    EXPECT_FALSE(device.SetFocuserPosition(12));
    EXPECT_EQ(device.FocuserPosition, -25536);
}

TEST_F(CommandTest, TemperaturesAndCompensation)
{
    CFWDevice& device = Connected();
    Board().SetTemperature(1, -10);
    float degrees = 0;
    ASSERT_TRUE(device.ReadTemperature(1, degrees));
    EXPECT_FLOAT_EQ(degrees, -0.1f);
    EXPECT_FLOAT_EQ(device.Temperatures[1], -0.1f);

    Board().SetTemperature(1, sim::kNoReading);
    degrees = 42;
    EXPECT_FALSE(device.ReadTemperature(1, degrees));
    EXPECT_EQ(degrees, 42);
    EXPECT_FLOAT_EQ(device.Temperatures[1], -0.1f) << "no reading keeps the last good one";

    ASSERT_TRUE(device.SetAutoCompSensor(-1));
    int32_t sensor = 0;
    device.Options.AscomPreferredTermometer = 1;
    ASSERT_TRUE(device.GetAutoCompSensor(sensor));
    EXPECT_EQ(sensor, -1);
    EXPECT_EQ(device.Options.AscomPreferredTermometer, 1) << "'off' leaves the preferred sensor alone";
    ASSERT_TRUE(device.SetAutoCompSensor(0));
    ASSERT_TRUE(device.GetAutoCompSensor(sensor));
    EXPECT_EQ(sensor, 0);
    EXPECT_EQ(device.Options.AscomPreferredTermometer, 0);

    EXPECT_EQ(Hex(Board().Received()),
              Hex(Concat({Bytes("FWtemperature1"), Bytes("FWtemperature1"), Bytes("FWautoCompSet/"),
                          Bytes("FWisAuto"), Bytes("FWautoCompSet0"), Bytes("FWisAuto")})));
}

TEST_F(CommandTest, MicrostepInfoKeepsItsPresetsWithoutAnAnswer)
{
    CFWDevice& device = Connected();
    int32_t increment = 0, perStep = 0;
    ASSERT_TRUE(device.ReadMicrostepInfo(increment, perStep));
    EXPECT_EQ(perStep, 64);
    EXPECT_EQ(Hex(Board().Received()), Hex(Concat({Bytes("FWubStep"), {0x00}})));

    Board().SetFault("FWubStep", sim::Fault::NoAnswer, 1);
    EXPECT_FALSE(device.ReadMicrostepInfo(increment, perStep));
    EXPECT_EQ(increment, device.Config.MicrostepIncrement);
    EXPECT_EQ(perStep, 2);

    // A busy link refuses before the exchange: the caller's values stay.
    ASSERT_TRUE(device.TryClaimBusy());
    increment = perStep = 0;
    EXPECT_FALSE(device.ReadMicrostepInfo(increment, perStep));
    EXPECT_EQ(perStep, 0);
    device.ReleaseBusy();
}

TEST_F(CommandTest, MicrostepTableRoundTrip)
{
    CFWDevice& device = Connected();
    const int32_t length = device.MicrostepTableLength;
    ASSERT_GT(length, 0);
    for (int i = 0; i < length; ++i) device.MicrostepTable[i] = static_cast<uint8_t>(255 - i);
    ASSERT_TRUE(device.WriteMicrostepTable());
    std::vector<uint8_t> table(device.MicrostepTable, device.MicrostepTable + length);
    EXPECT_EQ(Hex(Board().Received()), Hex(Concat({Bytes("FWym"), table})));
    EXPECT_EQ(Board().MicrostepTable(), table);

    ASSERT_TRUE(device.ReadMicrostepTable());
    EXPECT_EQ(std::vector<uint8_t>(device.MicrostepTable, device.MicrostepTable + length), table);

    Board().SetFault("FWzm", sim::Fault::ShortAnswer, 1);
    EXPECT_FALSE(device.ReadMicrostepTable());
    EXPECT_EQ(device.MicrostepTableLength, length) << "the length byte came, the table fell short";

    Board().SetFault("FWzm", sim::Fault::NoAnswer, 1);
    EXPECT_FALSE(device.ReadMicrostepTable());
    EXPECT_EQ(device.MicrostepTableLength, -1);
    Board().ClearRecord();
    EXPECT_FALSE(device.WriteMicrostepTable()) << "a table that was not read is not sent";
    EXPECT_TRUE(Board().Received().empty());
}

TEST_F(CommandTest, FilterNameGoesToTheTableAndTheBoardButNotTheMemoryCopy)
{
    CFWDevice& device = Connected();
    const ControllerConfig before = device.Config;
    ASSERT_TRUE(device.WriteFilterName(2, "Hydrogen-alpha"));
    EXPECT_STREQ(device.Filters.Snapshot()[2].Name, "Hydrogen");
    EXPECT_EQ(0, std::memcmp(&before, &device.Config, sizeof before));
    EXPECT_EQ(Hex(Board().Received()), Hex(Concat({Bytes("FWWRITENAME2"), Bytes("Hydrogen")})));

    Board().ClearRecord();
    ASSERT_TRUE(device.WriteFilterName(1, "OIII"));
    EXPECT_EQ(Hex(Board().Received()), Hex(Concat({Bytes("FWWRITENAME1OIII"), {0, 0, 0, 0}})));

    Board().ClearRecord();
    EXPECT_FALSE(device.WriteFilterName(5, "X"));
    EXPECT_FALSE(device.WriteFilterName(-1, "X"));
    EXPECT_TRUE(Board().Received().empty());
}

TEST_F(CommandTest, WriteConfigCarriesTheFilterTableIntoMemory)
{
    CFWDevice& device = Connected();
    device.Filters.Update(4, [](FilterSlot& slot) {
        std::strcpy(slot.Name, "Oxygen3");
        slot.Pos = 70000;  // truncated to 16 bits on the way
        slot.FocuserPos = -3;
    });
    ASSERT_TRUE(device.WriteConfig());
    std::vector<uint8_t> block(144);
    std::memcpy(block.data(), &device.Config, 144);
    EXPECT_EQ(device.Config.WheelPos[4], static_cast<int16_t>(70000 & 0xFFFF));
    EXPECT_EQ(Hex(Board().Received()), Hex(Concat({Bytes("FWwriteEE"), {0x00, 0x90}, block})));
    const auto memory = Board().Memory();
    EXPECT_EQ(std::vector<uint8_t>(memory.begin(), memory.end()), block);

    Board().SetFault("FWwriteEE", sim::Fault::NoAnswer, 1);
    EXPECT_FALSE(device.WriteConfig());
    EXPECT_FALSE(device.Busy);
}

TEST_F(CommandTest, ReadEepromThatFallsShortFails)
{
    CFWDevice& device = Connected();
    uint8_t buffer[144] = {};
    Board().SetFault("FWreadEE", sim::Fault::ShortAnswer, 1);
    EXPECT_FALSE(device.ReadEeprom(0, 144, buffer));
    const auto memory = Board().Memory();
    EXPECT_EQ(0, std::memcmp(buffer, memory.data(), 143)) << "the bytes that came are kept";
    EXPECT_EQ(buffer[143], 0);
    EXPECT_TRUE(device.ReadEeprom(0x3E, 8, buffer));
    EXPECT_EQ(0, std::memcmp(buffer, memory.data() + 0x3E, 8));
}

TEST_F(CommandTest, CommandsWithoutAPortSendNothingAndChangeNothing)
{
    AddBoard(1);
    CFWDevice& device = MakeDevice(1);
    int32_t value = 77;
    float degrees = 5;
    EXPECT_FALSE(device.GetFocuserPosition(value));
    EXPECT_FALSE(device.GetCurrentFilter(value));
    EXPECT_FALSE(device.MoveFocuserTo(10));
    EXPECT_FALSE(device.GotoFilter(1));
    EXPECT_FALSE(device.HomeWheel(0));
    EXPECT_FALSE(device.ReadTemperature(0, degrees));
    EXPECT_FALSE(device.WriteConfig());
    EXPECT_FALSE(device.InitAfterConnect());
    EXPECT_EQ(value, 77);
    EXPECT_EQ(device.CurrentFilter, -1) << "a refused query does not touch the filter";
    EXPECT_FALSE(device.Busy);
    EXPECT_TRUE(Board().Received().empty());
}

}  // namespace
}  // namespace quillmoor::test
