// Wheel and focuser moves: their budgets, notices and outcomes, as the trace shows them.
#include "tests/device/board_fixture.h"

namespace quillmoor::test {
namespace {

using MoveTest = BoardTest;

bool StartsWith(const std::string& text, const std::string& prefix) { return text.rfind(prefix, 0) == 0; }

// "in=2160.4ms" -> 2160.4
double MillisecondsAfter(const std::string& line, const std::string& key)
{
    const size_t at = line.find(key);
    return at == std::string::npos ? -1 : std::stod(line.substr(at + key.size()));
}

TEST_F(MoveTest, GotoBudgetCountsTheShorterWayRound)
{
    CFWDevice& device = Connected();
    device.ChangeFilterTimeoutMs = 700;
    ASSERT_TRUE(device.GotoFilter(4));
    ASSERT_TRUE(device.GotoFilter(0));  // 4 -> 0 is one slot forward
    device.CurrentFilter = -1;
    ASSERT_TRUE(device.GotoFilter(4));  // unknown start: both ways count 0
    EXPECT_EQ(Hex(Board().Received()), Hex(Bytes("FWGOTO4FWGOTO0FWGOTO4")));
    device.DisconnectMulti(1);

    const auto lines = TraceLines();
    ASSERT_EQ(lines.size(), 7u);
    EXPECT_EQ(lines[0], "Goto(0->4) dif=1 TimeOut=2700\r");
    EXPECT_TRUE(StartsWith(lines[1], "OK Goto(0->4) in="));
    EXPECT_EQ(lines[2], "Goto(4->0) dif=1 TimeOut=2700\r");
    EXPECT_EQ(lines[4], "Goto(-1->4) dif=0 TimeOut=2000\r");
    EXPECT_TRUE(StartsWith(lines[5], "OK Goto(-1->4) in="));
    EXPECT_EQ(device.CurrentFilter, 4);
}

TEST_F(MoveTest, NoticesDuringATurnArePassedOver)
{
    sim::BoardOptions options = FastBoard();
    options.time_scale = 1.0;
    options.slot_ms = 150;
    options.notices = true;
    CFWDevice& device = Connected(options);
    ASSERT_TRUE(device.GotoFilter(3));
    EXPECT_EQ(device.CurrentFilter, 3);
    device.DisconnectMulti(1);

    const auto lines = TraceLines();
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(lines[0], "Goto(0->3) dif=2 TimeOut=4000\r");
    EXPECT_TRUE(StartsWith(lines[1], "Skip cmd(WmoveFocus")) << lines[1];
    EXPECT_TRUE(StartsWith(lines[lines.size() - 2], "OK Goto(0->3) in="));
}

TEST_F(MoveTest, GotoFailureAndTimeoutLeaveDifferentFilters)
{
    CFWDevice& device = Connected();
    device.ChangeFilterTimeoutMs = 1;
    Board().SetFault("FWGOTO", sim::Fault::WheelFails, 1);
    EXPECT_FALSE(device.GotoFilter(2));
    EXPECT_EQ(device.CurrentFilter, -1) << "the board said it lost the wheel";

    ASSERT_TRUE(device.GotoFilter(1));
    Board().SetFault("FWGOTO", sim::Fault::NeverEnds, 1);
    EXPECT_FALSE(device.GotoFilter(2));
    EXPECT_EQ(device.CurrentFilter, 1) << "a move that never ended leaves the last known filter";
    EXPECT_FALSE(device.Busy);
    device.DisconnectMulti(1);

    const auto lines = TraceLines();
    ASSERT_EQ(lines.size(), 7u);
    EXPECT_TRUE(StartsWith(lines[1], "Failed Goto(0->2) in="));
    EXPECT_EQ(lines[4], "Goto(1->2) dif=1 TimeOut=2001\r");
    EXPECT_TRUE(StartsWith(lines[5], "Failed Goto(1->2) in="));
    EXPECT_GE(MillisecondsAfter(lines[5], "in="), 2001.0) << "the whole budget was waited for";
}

TEST_F(MoveTest, WheelCommandsNeedAFilterTable)
{
    sim::BoardOptions options = FastBoard();
    options.has_wheel = false;
    CFWDevice& device = Connected(options);
    EXPECT_FALSE(device.GotoFilter(0));
    EXPECT_TRUE(Board().Received().empty()) << "an empty table sends no goto";
    EXPECT_FALSE(device.HomeWheel(0));
    ASSERT_TRUE(Board().WaitForReceived(6, std::chrono::seconds(2)));
    EXPECT_EQ(Board().Received(), Bytes("FWHOME")) << "homing sends its word and gives up at once";
}

TEST_F(MoveTest, HomingWaitsForTheAcknowledgement)
{
    CFWDevice& device = Connected();
    EXPECT_TRUE(device.HomeWheel(123));
    EXPECT_EQ(Board().Received(), Bytes("FWHOME"));
}

TEST_F(MoveTest, FocuserMoveRecordsTheTargetAsSent)
{
    CFWDevice& device = Connected();
    ASSERT_TRUE(device.MoveFocuserTo(-200));
    EXPECT_EQ(device.FocuserPosition, -200);
    ASSERT_TRUE(device.MoveFocuserTo(40000));
    EXPECT_EQ(device.FocuserPosition, 40000) << "the target is kept whole, though 16 bits went out";
    device.MinMotorStep = 5;
    ASSERT_TRUE(device.MoveFocuserBy(-3));
    EXPECT_EQ(device.FocuserPosition, -25536 - 15);
    EXPECT_EQ(Hex(Board().Received()),
              Hex(Concat({Bytes("FWgoFocus"), {0x38, 0xFF}, Bytes("FWgoFocus"), {0x40, 0x9C}, Bytes("FWfocus"),
                          Bytes("FWgoFocus"), {0x31, 0x9C}})));
    device.DisconnectMulti(1);
    EXPECT_TRUE(StartsWith(TraceLines()[0], "OK GoFocus(0->-200) in="));
}

TEST_F(MoveTest, FocuserBudgetFollowsSpeedAndBacklash)
{
    CFWDevice& device = Connected();
    Board().SetFault("FWgoFocus", sim::Fault::NeverEnds);
    device.Config.FocuserBacklash = 10;
    for (uint16_t speed : {200, 500, 0}) {
        device.Config.FocuserSpeed = speed;
        EXPECT_FALSE(device.MoveFocuserTo(30));
        EXPECT_EQ(device.FocuserPosition, 0);
    }
    device.DisconnectMulti(1);

    const auto lines = TraceLines();
    ASSERT_EQ(lines.size(), 4u);
    // 30 steps at 200/s, then at the 300/s ceiling (also for a speed of 0), + 11 ms per backlash step + 2 s.
    const int budgets[] = {30 * 5 + 110 + 2000, 100 + 110 + 2000, 100 + 110 + 2000};
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(lines[i]);
        EXPECT_TRUE(StartsWith(lines[i], "Failed GoFocus(0->30) in="));
        EXPECT_NE(lines[i].find(" timeout=" + std::to_string(budgets[i]) + "ms\r"), std::string::npos);
        EXPECT_GE(MillisecondsAfter(lines[i], "in="), budgets[i]);
    }
}

TEST(MotorTarget, ClientMovesStopAtTheLimitsAndNeverWrapRound)
{
    DriverOptions options;
    options.AscomMaxFocusPos = 2000;
    options.AscomFocusShift = 1000;
    EXPECT_EQ(MotorTargetFor(options, 1500), 500);
    EXPECT_EQ(MotorTargetFor(options, -10), -1000) << "below 0 stops at 0";
    EXPECT_EQ(MotorTargetFor(options, 2010), 1000) << "above MaxStep stops at MaxStep";
    options.AscomMaxFocusPos = 100000;
    options.AscomFocusShift = 0;
    EXPECT_EQ(MotorTargetFor(options, 40000), 32767) << "the board's 16 bits, not 40000 - 65536";
    options.AscomMaxFocusPos = -5;
    EXPECT_EQ(MotorTargetFor(options, 300), 0) << "a negative range is an empty one";
}

}  // namespace
}  // namespace quillmoor::test
