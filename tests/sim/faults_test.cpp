// Faults switched on at the board, seen from the PC's end of the line.
#include "sim_fixture.h"

namespace quillmoor::sim {
namespace {

using namespace std::chrono_literals;

TEST_F(SimTest, FaultsSpoilOnlyTheNextAnswersToTheirWord) {
    ASSERT_TRUE(Board().SetFault("FWfocus", Fault::NoAnswer, 1));
    ASSERT_TRUE(Board().SetFault("FWFILTER", Fault::ShortAnswer, 2));
    EXPECT_EQ(SendAndSettle("FWfocus"), Bytes{});
    EXPECT_EQ(SendAndSettle("FWFILTER"), Bytes{});
    EXPECT_EQ(SendAndSettle("FWCOUNT"), Bytes{'5'});  // other words unharmed
    EXPECT_EQ(SendAndSettle("FWFILTER"), Bytes{});
    EXPECT_EQ(SendAndSettle("FWfocus"), (Bytes{0, 0}));
    EXPECT_EQ(SendAndSettle("FWFILTER"), Bytes{'0'});
}

TEST_F(SimTest, RefusesFaultsThatDoNotFit) {
    EXPECT_FALSE(Board().SetFault("FWnothing", Fault::NoAnswer));
    EXPECT_FALSE(Board().SetFault("FWfocus", Fault::NeverEnds));
    EXPECT_FALSE(Board().SetFault("FWgoFocus", Fault::WheelFails));
    EXPECT_TRUE(Board().SetFault("FWHOME", Fault::WheelFails));
}

TEST_F(SimTest, GarbageIsNeverAValidAnswer) {
    ASSERT_TRUE(Board().SetFault("FWreadEE", Fault::Garbage));
    const Bytes reply = SendAndSettle("FWreadEE", {0, 144});
    ASSERT_EQ(reply.size(), 144u);
    for (uint8_t byte : reply) EXPECT_GE(byte, 0x80);
}

TEST_F(SimTest, GapPausesBeforeTheLastByte) {
    ASSERT_TRUE(Board().SetFault("FWfocus", Fault::Gap, 1));
    EXPECT_EQ(SendAndSettle("FWfocus"), (Bytes{0, 0}));
    std::vector<WireEvent> sent;
    for (const WireEvent& event : Board().Record())
        if (event.direction == Direction::FromBoard) sent.push_back(event);
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_GE(sent[1].time - sent[0].time, 250ms);  // the board never cuts it short
}

TEST_F(SimTest, MovesThatFailOrNeverEnd) {
    ASSERT_TRUE(Board().SetFault("FWGOTO", Fault::WheelFails, 1));
    EXPECT_EQ(SendAndSettle("FWGOTO", {'2'}), Bytes{'/'});
    EXPECT_EQ(Board().CurrentFilter(), -1);

    ASSERT_TRUE(Board().SetFault("FWgoFocus", Fault::NeverEnds, 1));
    EXPECT_EQ(SendAndSettle("FWgoFocus", {0x64, 0x00}), Bytes{});
    EXPECT_EQ(Board().FocuserPosition(), 0);  // stalled where it stood
    EXPECT_EQ(SendAndSettle("FWfocus"), (Bytes{0, 0}));  // and still listening
}

TEST_F(SimTest, SilentBoardHearsButDoesNotAnswer) {
    Board().SetSilent(true);
    EXPECT_EQ(SendAndSettle("FWFILTER"), Bytes{});
    EXPECT_EQ(Board().Received(), Command("FWFILTER"));
    Board().SetSilent(false);
    EXPECT_EQ(SendAndSettle("FWFILTER"), Bytes{'0'});
}

TEST_F(SimTest, FloodSendsWithoutBeingAsked) {
    Board().SetFlood(true);
    EXPECT_EQ(Port().Read(20), Bytes(20, 0x55));
    Board().SetFlood(false);
}

TEST_F(SimTest, UnplugHangsUpTheLine) {
    Board().Unplug();
    EXPECT_FALSE(Board().IsRunning());
    EXPECT_TRUE(Port().HungUp(5s));
}

TEST(WireRecordTest, FormatsRunsOfBytesPerDirection) {
    const auto origin = std::chrono::steady_clock::time_point{};
    const std::vector<WireEvent> events = {
        {origin + 1ms, Direction::ToBoard, 'F'},
        {origin + 1ms, Direction::ToBoard, 'W'},
        {origin + 2500us, Direction::FromBoard, 0x21},
        {origin + 400ms, Direction::FromBoard, 0x30},  // after a long pause
    };
    EXPECT_EQ(FormatRecord(events, origin),
              "    1.000 >> 46 57\n"
              "    2.500 << 21\n"
              "  400.000 << 30\n");
}

}  // namespace
}  // namespace quillmoor::sim
