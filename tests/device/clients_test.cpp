// The client set, and the Busy flag between threads.
#include <future>

#include "tests/device/board_fixture.h"

namespace quillmoor::test {
namespace {

using ClientsTest = BoardTest;

TEST_F(ClientsTest, FirstClientConnectsAndLastOneDisconnects)
{
    AddBoard(1);
    CFWDevice& device = MakeDevice(1);

    ASSERT_TRUE(device.ConnectMulti(0xA1));
    ASSERT_TRUE(device.ConnectMulti(0xB2));
    ASSERT_TRUE(device.ConnectMulti(0xA1));
    EXPECT_EQ(device.ClientKeys(), (std::vector<uint32_t>{0xA1, 0xB2}));

    device.DisconnectMulti(0xC3);  // never connected: removes nothing
    device.DisconnectMulti(0xB2);
    EXPECT_TRUE(device.PortIsOpen());
    device.DisconnectMulti(0xA1);
    EXPECT_FALSE(device.PortIsOpen());
    EXPECT_TRUE(device.ClientKeys().empty());
    device.DisconnectMulti(0xA1);  // port closed: nothing at all

    EXPECT_EQ(TraceLines(), (std::vector<std::string>{
                                "ConnectMulti(0xb2) = skip\r",
                                "ConnectMulti(0xa1) = skip\r",
                                "DisconnectMulti(0xc3) = skip\r",
                                "DisconnectMulti(0xb2) = skip\r",
                                "DisconnectMulti(0xa1) = Disconnect\r",
                            }));
}

TEST_F(ClientsTest, DisconnectKeepsWhatTheBoardLastReported)
{
    CFWDevice& device = Connected();
    ASSERT_TRUE(device.GotoFilter(3));
    device.DisconnectMulti(1);
    EXPECT_FALSE(device.WheelPresent);
    EXPECT_FALSE(device.FocuserPresent);
    EXPECT_EQ(device.CurrentFilter, 3);
    EXPECT_EQ(device.Filters.Size(), 5u);
}

TEST_F(ClientsTest, ASecondExchangeIsRefusedWhileAMoveRuns)
{
    sim::BoardOptions options = FastBoard();
    options.time_scale = 1.0;  // 400 steps at 200 steps per second: two seconds of travel
    CFWDevice& device = Connected(options);

    auto move = std::async(std::launch::async, [&] { return device.MoveFocuserTo(400); });
    ASSERT_TRUE(Board().WaitForReceived(11, std::chrono::seconds(5)));

    int32_t position = -1;
    float degrees = 0;
    EXPECT_TRUE(device.Busy);
    EXPECT_FALSE(device.GetFocuserPosition(position));
    EXPECT_FALSE(device.ReadTemperature(0, degrees));
    EXPECT_FALSE(device.GotoFilter(1));
    EXPECT_EQ(position, -1) << "a refused call writes no out value";

    EXPECT_TRUE(move.get());
    EXPECT_FALSE(device.Busy);
    EXPECT_EQ(Hex(Board().Received()), Hex(Concat({Bytes("FWgoFocus"), {0x90, 0x01}})))
        << "the refused calls sent nothing";
    EXPECT_TRUE(device.GetFocuserPosition(position));
    EXPECT_EQ(position, 400);
}

TEST_F(ClientsTest, ExchangesFromTwoThreadsNeverInterleaveOnTheWire)
{
    CFWDevice& device = Connected();
    std::atomic<int> answered{0};
    auto worker = [&] {
        for (int i = 0; i < 200; ++i) {
            int32_t position = 0;
            if (device.GetFocuserPosition(position)) answered++;
        }
    };
    std::thread a(worker), b(worker);
    a.join();
    b.join();

    std::vector<uint8_t> expected;
    for (int i = 0; i < answered; ++i) expected = Concat({expected, Bytes("FWfocus")});
    EXPECT_EQ(Board().Received(), expected) << "a refused call sends nothing and an accepted one is whole";
    EXPECT_FALSE(device.Busy) << "every path out of an exchange releases Busy";
}

}  // namespace
}  // namespace quillmoor::test
