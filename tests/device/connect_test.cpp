// Finding the board and identifying it.
#include <fcntl.h>
#include <unistd.h>

#include "tests/device/board_fixture.h"

namespace quillmoor::test {
namespace {

using ConnectTest = BoardTest;

std::vector<uint8_t> ConnectQueries(bool wheel, bool focuser)
{
    std::vector<uint8_t> wire = Concat({Bytes("FWFILTER"), Bytes("FWfocus"), Bytes("FWreadEE"), {0x00, 0x90}});
    if (wheel) wire = Concat({wire, Bytes("FWCOUNT")});
    if (focuser) wire = Concat({wire, Bytes("FWzm")});
    return wire;
}

TEST_F(ConnectTest, AutoSearchPassesOverAPortWithoutABoard)
{
    AddDeadPort(1);
    sim::BoardSim& board = AddBoard(2);
    CFWDevice& device = MakeDevice(0);

    ASSERT_TRUE(device.ConnectMulti(0x42));
    EXPECT_TRUE(device.PortIsOpen());
    EXPECT_TRUE(device.WheelPresent);
    EXPECT_TRUE(device.FocuserPresent);
    EXPECT_EQ(Hex(board.Received()), Hex(ConnectQueries(true, true)));
    EXPECT_EQ(device.Filters.Size(), 5u);

    // The board's memory and microstep table came over whole.
    const auto memory = board.Memory();
    EXPECT_EQ(0, std::memcmp(&device.Config, memory.data(), memory.size()));
    const auto table = board.MicrostepTable();
    ASSERT_EQ(device.MicrostepTableLength, static_cast<int32_t>(table.size()));
    EXPECT_EQ(0, std::memcmp(device.MicrostepTable, table.data(), table.size()));
}

TEST_F(ConnectTest, AFixedPortIsTheOnlyOneTried)
{
    sim::BoardSim& board = AddBoard(5);
    CFWDevice& device = MakeDevice(3);

    EXPECT_FALSE(device.ConnectMulti(1));
    EXPECT_FALSE(device.PortIsOpen());
    EXPECT_TRUE(device.ClientKeys().empty());
    EXPECT_TRUE(board.Received().empty());

    device.Options.ComPort = 5;
    EXPECT_TRUE(device.ConnectMulti(1)) << "a failed connect leaves the set empty, so the next one tries again";
}

TEST_F(ConnectTest, BoardWithOnlyAFocuserIsAccepted)
{
    sim::BoardOptions options = FastBoard();
    options.has_wheel = false;
    sim::BoardSim& board = AddBoard(1, options);
    CFWDevice& device = MakeDevice(1);

    ASSERT_TRUE(device.ConnectMulti(1));
    EXPECT_FALSE(device.WheelPresent);
    EXPECT_TRUE(device.FocuserPresent);
    EXPECT_TRUE(device.Filters.Empty());
    EXPECT_EQ(Hex(board.Received()), Hex(ConnectQueries(false, true)));
}

TEST_F(ConnectTest, BoardWithOnlyAWheelSkipsTheMicrostepTable)
{
    sim::BoardOptions options = FastBoard();
    options.has_focuser = false;
    sim::BoardSim& board = AddBoard(1, options);
    CFWDevice& device = MakeDevice(1);

    ASSERT_TRUE(device.ConnectMulti(1));
    EXPECT_TRUE(device.WheelPresent);
    EXPECT_FALSE(device.FocuserPresent);
    EXPECT_EQ(device.MicrostepTableLength, -1);
    EXPECT_EQ(Hex(board.Received()), Hex(ConnectQueries(true, false)));
}

TEST_F(ConnectTest, BoardThatDoesNotDeliverItsMemoryOrCountIsAbsent)
{
    for (const char* word : {"FWreadEE", "FWCOUNT"}) {
        SCOPED_TRACE(word);
        sim::BoardSim& board = AddBoard(1);
        board.SetFault(word, sim::Fault::ShortAnswer);
        CFWDevice& device = MakeDevice(1);
        EXPECT_FALSE(device.ConnectMulti(1));
        EXPECT_FALSE(device.PortIsOpen());
        EXPECT_FALSE(device.WheelPresent);
        EXPECT_FALSE(device.FocuserPresent);
        std::filesystem::remove(Scratch().Path() / "ports" / "com1");
    }
}

TEST_F(ConnectTest, NoBoardOnAnyPortFails)
{
    CFWDevice& device = MakeDevice(0);
    EXPECT_FALSE(device.ConnectMulti(9));
    EXPECT_FALSE(device.PortIsOpen());
    EXPECT_TRUE(device.ClientKeys().empty());
}

TEST_F(ConnectTest, EachConnectEmptiesTheTraceFile)
{
    AddBoard(1);
    CFWDevice& device = MakeDevice(1);
    ASSERT_TRUE(device.ConnectMulti(1));
    device.DisconnectMulti(1);
    ASSERT_TRUE(device.ConnectMulti(2));
    device.DisconnectMulti(2);
    EXPECT_EQ(TraceLines(), (std::vector<std::string>{"DisconnectMulti(0x2) = Disconnect\r"}))
        << "the connect line of the second client was written before the file was opened anew";
}

TEST_F(ConnectTest, WithoutALogFileNothingIsWritten)
{
    AddBoard(1);
    CFWDevice& device = MakeDevice(1);
    device.LogFile.clear();
    ASSERT_TRUE(device.ConnectMulti(1));
    device.DisconnectMulti(1);
    EXPECT_FALSE(std::filesystem::exists(TracePath()));
}

}  // namespace
}  // namespace quillmoor::test
