// What the cable, the board and the line can do wrong: every exchange ends
// within its budget, Busy is released, and the next exchange works.
#include <future>

#include "device/link_failure.h"
#include "tests/device/board_fixture.h"

namespace quillmoor::test {
namespace {

using FaultTest = BoardTest;

TEST_F(FaultTest, CablePulledDuringMovesThenABoardReturns)
{
    sim::BoardOptions options = FastBoard();
    options.time_scale = 1.0;
    options.slot_ms = 5000;
    CFWDevice& device = Connected(options);
    device.ChangeFilterTimeoutMs = 60'000;  // a budget the unplugged wait must not sit out

    auto wheel = std::async(std::launch::async, [&] { return device.GotoFilter(2); });
    ASSERT_TRUE(Board().WaitForReceived(7, std::chrono::seconds(5)));
    int32_t position = 0;
    EXPECT_FALSE(device.GetFocuserPosition(position));
    EXPECT_EQ(LastLinkFailure(), LinkFailure::Busy) << "the turn holds the link";
    Board().Unplug();
    EXPECT_FALSE(wheel.get());
    EXPECT_FALSE(device.Busy);
    EXPECT_FALSE(device.GetFocuserPosition(position)) << "nothing answers on a pulled cable";
    EXPECT_EQ(LastLinkFailure(), LinkFailure::NoAnswer);
    EXPECT_FALSE(device.MoveFocuserTo(30000)) << "a move on a dead line ends without its budget";

    device.DisconnectMulti(1);
    EXPECT_FALSE(device.PortIsOpen());
    EXPECT_FALSE(device.GetFocuserPosition(position));
    EXPECT_EQ(LastLinkFailure(), LinkFailure::NotConnected);
    std::filesystem::remove(Scratch().Path() / "ports" / "com1");
    sim::BoardSim& returned = AddBoard(1);
    ASSERT_TRUE(device.ConnectMulti(1));
    EXPECT_TRUE(device.GotoFilter(2));
    EXPECT_EQ(LastLinkFailure(), LinkFailure::None);
    EXPECT_EQ(returned.CurrentFilter(), 2);
}

TEST_F(FaultTest, FocuserMoveFailsWhenTheCableIsPulled)
{
    sim::BoardOptions options = FastBoard();
    options.time_scale = 1.0;
    CFWDevice& device = Connected(options);
    auto move = std::async(std::launch::async, [&] { return device.MoveFocuserTo(20000); });
    ASSERT_TRUE(Board().WaitForReceived(11, std::chrono::seconds(5)));
    Board().Unplug();
    EXPECT_FALSE(move.get());
    EXPECT_FALSE(device.Busy);
    EXPECT_EQ(device.FocuserPosition, 0);
}

TEST_F(FaultTest, GarbageAndGapsFailOneExchangeOnly)
{
    CFWDevice& device = Connected();
    int32_t position = 0;
    float degrees = 0;
    int32_t filter = 0;
    Board().SetFault("FWFILTER", sim::Fault::Garbage, 1);
    EXPECT_FALSE(device.GetCurrentFilter(filter)) << "garbage is no index byte";
    EXPECT_TRUE(device.GetCurrentFilter(filter));
    // A temperature is any two bytes but -32768, so only a cut reply fails it.
    for (sim::Fault fault : {sim::Fault::Gap, sim::Fault::ShortAnswer}) {
        SCOPED_TRACE(std::string(sim::FaultName(fault)));
        Board().SetFault("FWtemperature", fault, 1);
        EXPECT_FALSE(device.ReadTemperature(0, degrees));
        EXPECT_TRUE(device.GetFocuserPosition(position)) << "late bytes are purged before the next command";
        EXPECT_TRUE(device.ReadTemperature(0, degrees));
    }
    Board().SetFault("FWfocus", sim::Fault::Gap, 1);
    EXPECT_FALSE(device.GetFocuserPosition(position)) << "a gap of more than 100 ms cuts the reply short";
    EXPECT_TRUE(device.GetFocuserPosition(position));
}

TEST_F(FaultTest, AFloodingBoardCannotHoldAWaitPastItsBudget)
{
    CFWDevice& device = Connected();
    device.ChangeFilterTimeoutMs = 0;
    Board().SetFault("FWGOTO", sim::Fault::NeverEnds);
    Board().SetFlood(true);
    EXPECT_FALSE(device.GotoFilter(1)) << "0x55 is never the target's index byte";
    EXPECT_FALSE(device.Busy);
    Board().ClearFaults();
    EXPECT_TRUE(device.GotoFilter(1));
    device.DisconnectMulti(1);
    const auto lines = TraceLines();
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines[0], "Goto(0->1) dif=1 TimeOut=2000\r");
}

TEST_F(FaultTest, BusyIsNeverLeftSetAfterManyRefusals)
{
    sim::BoardOptions options = FastBoard();
    options.time_scale = 1.0;
    CFWDevice& device = Connected(options);
    auto move = std::async(std::launch::async, [&] { return device.MoveFocuserTo(300); });
    ASSERT_TRUE(Board().WaitForReceived(11, std::chrono::seconds(5)));
    int refused = 0;
    for (int i = 0; i < 5000 && device.Busy; ++i) {
        int32_t value = 0;
        float degrees = 0;
        refused += !device.GetFocuserPosition(value);
        refused += !device.ReadTemperature(0, degrees);
        refused += !device.GotoFilter(1);
        refused += !device.WriteConfig();
        refused += !device.InitAfterConnect();
    }
    EXPECT_TRUE(move.get());
    EXPECT_GT(refused, 0);
    EXPECT_FALSE(device.Busy);
    int32_t position = 0;
    EXPECT_TRUE(device.GetFocuserPosition(position));
    EXPECT_EQ(position, 300);
}

}  // namespace
}  // namespace quillmoor::test
