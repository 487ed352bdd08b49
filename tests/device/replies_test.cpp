// Replies the simulator would never give: each is judged by the board's
// acceptance rules, with no write past a buffer.
#include "tests/device/board_fixture.h"
#include "tests/device/scripted_board.h"

namespace quillmoor::test {
namespace {

class ReplyTest : public BoardTest {
protected:
    CFWDevice& ConnectScripted()
    {
        std::vector<uint8_t> memory(144, 0);
        memory[0x08] = 200;  // focuser speed
        memory[0x0F] = 4;    // sensors
        board_.ExpectConnect(memory, 5);
        Link(1, board_.SlavePath());
        CFWDevice& device = MakeDevice(1);
        EXPECT_TRUE(device.ConnectMulti(1));
        EXPECT_TRUE(board_.AllAnswered());
        return device;
    }
    void Expect(std::vector<uint8_t> command, std::vector<uint8_t> reply)
    {
        board_.Expect(std::move(command), std::move(reply));
    }
    void TearDown() override
    {
        EXPECT_TRUE(board_.AllAnswered());
        EXPECT_EQ(Hex(board_.Unexpected()), "");
    }

    ScriptedBoard board_;
};

TEST_F(ReplyTest, FilterIndexBytes)
{
    CFWDevice& device = ConnectScripted();
    int32_t index = 0;
    Expect(Bytes("FWFILTER"), {'/'});
    EXPECT_TRUE(device.GetCurrentFilter(index));
    EXPECT_EQ(index, -1) << "'/' is a valid answer: no filter";
    Expect(Bytes("FWFILTER"), {':'});
    EXPECT_TRUE(device.GetCurrentFilter(index));
    EXPECT_EQ(index, 10);
    Expect(Bytes("FWFILTER"), {';'});
    EXPECT_FALSE(device.GetCurrentFilter(index));
    EXPECT_EQ(index, 10);
    EXPECT_EQ(device.CurrentFilter, -1);

    for (uint8_t count : {'0', ';', '/'}) {
        Expect(Bytes("FWCOUNT"), {count});
        EXPECT_FALSE(device.ReadFilterCount()) << count;
        EXPECT_EQ(device.Filters.Size(), 5u);
    }
    Expect(Bytes("FWCOUNT"), {':'});
    EXPECT_TRUE(device.ReadFilterCount());
    EXPECT_EQ(device.Filters.Size(), 10u);
}

TEST_F(ReplyTest, SingleByteAnswers)
{
    CFWDevice& device = ConnectScripted();
    int32_t value = 0;
    Expect(Bytes("FWdirFocus"), {'-'});
    EXPECT_TRUE(device.GetFocuserDirection(value));
    EXPECT_EQ(value, -1);
    Expect(Bytes("FWdirFocus"), {'0'});
    EXPECT_FALSE(device.GetFocuserDirection(value));
    EXPECT_EQ(value, -1);

    Expect(Bytes("FWautoCompSet2"), {'?'});
    EXPECT_FALSE(device.SetAutoCompSensor(2));
    Expect(Bytes("FWautoCompSet2"), {'!', '!'});
    EXPECT_TRUE(device.SetAutoCompSensor(2));

    Expect(Bytes("FWisAuto"), {'3'});
    EXPECT_TRUE(device.GetAutoCompSensor(value));
    EXPECT_EQ(device.Options.AscomPreferredTermometer, 3);
    Expect(Bytes("FWisAuto"), {0xFF});
    EXPECT_TRUE(device.GetAutoCompSensor(value)) << "any byte is an answer";
    EXPECT_EQ(value, 0xFF - '0');
    EXPECT_EQ(device.Options.AscomPreferredTermometer, 3) << "but a sensor the board lacks is not taken";

    Expect(Concat({Bytes("FWsetFocus"), {0x10, 0x00}}), {0xEE});
    EXPECT_TRUE(device.SetFocuserPosition(16)) << "any byte confirms a new position";
}

TEST_F(ReplyTest, TemperatureOfNoReadingIsAFailure)
{
    CFWDevice& device = ConnectScripted();
    float degrees = 1;
    Expect(Bytes("FWtemperature0"), {0xF6, 0xFF});
    EXPECT_TRUE(device.ReadTemperature(0, degrees));
    EXPECT_FLOAT_EQ(degrees, -0.1f);
    Expect(Bytes("FWtemperature0"), {0x00, 0x80});
    EXPECT_FALSE(device.ReadTemperature(0, degrees));
    Expect(Bytes("FWtemperature7"), {0x10, 0x27});
    EXPECT_TRUE(device.ReadTemperature(7, degrees)) << "sensors beyond the four kept ones still read";
    EXPECT_FLOAT_EQ(degrees, 100.0f);
    Expect(Bytes("FWtemperature/"), {0x01, 0x00});
    EXPECT_TRUE(device.ReadTemperature(-1, degrees)) << "a negative sensor is sent and not stored anywhere";
}

TEST_F(ReplyTest, MicrostepTableLengths)
{
    CFWDevice& device = ConnectScripted();
    Expect(Bytes("FWzm"), {0x00});
    EXPECT_TRUE(device.ReadMicrostepTable());
    EXPECT_EQ(device.MicrostepTableLength, 0);
    Expect(Bytes("FWym"), {'!'});
    EXPECT_TRUE(device.WriteMicrostepTable()) << "an empty table sends the word alone";

    std::vector<uint8_t> oversized(1 + 200, 0xAB);
    oversized[0] = 200;
    Expect(Bytes("FWzm"), oversized);
    EXPECT_FALSE(device.ReadMicrostepTable()) << "a table longer than 128 bytes is refused";
    EXPECT_EQ(device.MicrostepTableLength, -1);
    EXPECT_EQ(device.MicrostepTable[127], 0);

    std::vector<uint8_t> full(1 + 128, 0x5A);
    full[0] = 128;
    Expect(Bytes("FWzm"), full);
    EXPECT_TRUE(device.ReadMicrostepTable());
    EXPECT_EQ(device.MicrostepTableLength, 128);
    EXPECT_EQ(device.MicrostepTable[127], 0x5A);
}

TEST_F(ReplyTest, GotoPassesOverStrayBytesUntilItsTarget)
{
    CFWDevice& device = ConnectScripted();
    Expect(Bytes("FWGOTO2"), Concat({{'x', '1', 0x00}, Bytes("FWmoveFocus"), {'2', 0x00}, {'2'}}));
    EXPECT_TRUE(device.GotoFilter(2));
    EXPECT_EQ(device.CurrentFilter, 2);
    Expect(Concat({Bytes("FWgoFocus"), {0x00, 0x00}}), Concat({{'?'}, Bytes("FWmoveFocus"), {'!'}}));
    EXPECT_TRUE(device.MoveFocuserTo(0)) << "any byte before '!' is passed over";
}

}  // namespace
}  // namespace quillmoor::test
