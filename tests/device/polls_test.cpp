// Polls from another thread while the link is busy: the last values during a
// focuser move, a plain refusal during anything else.
#include <future>

#include "device/link_failure.h"
#include "tests/device/board_fixture.h"

namespace quillmoor::test {
namespace {

using PollTest = BoardTest;

TEST_F(PollTest, DuringAFocuserMoveThePollsAnswerTheLastValuesAndSendNothing)
{
    sim::BoardOptions options = FastBoard();
    options.time_scale = 1.0;  // 400 steps at 200 steps/s: two seconds
    CFWDevice& device = Connected(options);
    float degrees = 0;
    ASSERT_TRUE(device.ReadTemperature(0, degrees));
    device.Temperatures[2] = 99.0f;  // a value of no board: sensor 2 was never read on this link
    ASSERT_TRUE(device.ReadTemperature(1, degrees));
    Board().SetTemperature(1, sim::kNoReading);  // sensor 1 answered once, then went quiet
    EXPECT_FALSE(device.ReadTemperature(1, degrees));
    Board().ClearRecord();

    auto move = std::async(std::launch::async, [&] { return device.MoveFocuserTo(400); });
    ASSERT_TRUE(Board().WaitForReceived(11, std::chrono::seconds(5)));
    EXPECT_TRUE(device.FocuserMoving);
    int32_t position = -1;
    EXPECT_TRUE(device.PollFocuserPosition(position));
    EXPECT_EQ(LastLinkFailure(), LinkFailure::None);
    EXPECT_EQ(position, 0) << "where the board last said the focuser was";
    degrees = 0;
    EXPECT_TRUE(device.PollTemperature(0, degrees));
    EXPECT_FLOAT_EQ(degrees, 18.5f);
    EXPECT_FALSE(device.PollTemperature(kTemperatureSlots, degrees)) << "no last value outside the table";
    EXPECT_EQ(LastLinkFailure(), LinkFailure::Busy);
    EXPECT_FALSE(device.PollTemperature(2, degrees)) << "no last value before the first reading";
    EXPECT_EQ(LastLinkFailure(), LinkFailure::Busy);
    EXPECT_FALSE(device.PollTemperature(1, degrees)) << "no last value for a sensor gone quiet";
    EXPECT_FALSE(device.GetFocuserPosition(position)) << "a plain query is still refused";
    EXPECT_EQ(LastLinkFailure(), LinkFailure::Busy);
    int32_t slot = -1;
    EXPECT_TRUE(device.PollCurrentFilter(slot)) << "the wheel is not turning";
    EXPECT_EQ(slot, device.CurrentFilter.load());

    ASSERT_TRUE(move.get());
    EXPECT_EQ(Hex(Board().Received()), Hex(Concat({Bytes("FWgoFocus"), {0x90, 0x01}})));
    EXPECT_FALSE(device.FocuserMoving);
    EXPECT_TRUE(device.PollFocuserPosition(position));
    EXPECT_EQ(position, 400);
    EXPECT_EQ(Hex(Board().Received()), Hex(Concat({Bytes("FWgoFocus"), {0x90, 0x01}, Bytes("FWfocus")})))
        << "once the move is over the poll asks the board";
}

TEST_F(PollTest, DuringAWheelTurnThePollsAreRefusedAndTheMoveFlagStaysClear)
{
    sim::BoardOptions options = FastBoard();
    options.time_scale = 1.0;
    options.slot_ms = 1000;
    CFWDevice& device = Connected(options);
    EXPECT_EQ(device.OpenPortNumber, 1);

    auto turn = std::async(std::launch::async, [&] { return device.GotoFilter(2); });
    ASSERT_TRUE(Board().WaitForReceived(7, std::chrono::seconds(5)));
    int32_t position = -1;
    EXPECT_FALSE(device.PollFocuserPosition(position));
    EXPECT_EQ(LastLinkFailure(), LinkFailure::Busy);
    // A move refused by the turn leaves the flag alone.
    EXPECT_FALSE(device.MoveFocuserTo(100));
    EXPECT_FALSE(device.FocuserMoving);
    float degrees = 0;
    EXPECT_FALSE(device.PollTemperature(0, degrees));
    int32_t slot = 0;
    EXPECT_FALSE(device.PollCurrentFilter(slot)) << "a turning wheel is at no slot yet";
    ASSERT_TRUE(turn.get());

    device.DisconnectMulti(1);
    EXPECT_EQ(device.OpenPortNumber, 0);
}

}  // namespace
}  // namespace quillmoor::test
