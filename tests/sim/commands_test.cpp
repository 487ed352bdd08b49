// The board's answers to each command word, byte for byte.
#include <algorithm>

#include "sim_fixture.h"

namespace quillmoor::sim {
namespace {

TEST_F(SimTest, AnswersQueriesFromItsStateAndMemory) {
    EXPECT_EQ(Port().Ask("FWFILTER", {}, 1), Bytes{'0'});    // homed at power-up
    EXPECT_EQ(Port().Ask("FWCOUNT", {}, 1), Bytes{'5'});     // FilterCount of the memory
    EXPECT_EQ(Port().Ask("FWfocus", {}, 2), (Bytes{0x00, 0x00}));
    EXPECT_EQ(Port().Ask("FWdirFocus", {}, 1), Bytes{'+'});
    EXPECT_EQ(Port().Ask("FWisAuto", {}, 1), Bytes{'/'});    // compensation off
    EXPECT_EQ(Port().Ask("FWubStep", {0x00}, 2), (Bytes{8, 64}));
    EXPECT_EQ(Port().Ask("FWtemperature", {'0'}, 2), (Bytes{0x3A, 0x07}));  // 18.50
    EXPECT_EQ(Port().Ask("FWtemperature", {'1'}, 2), (Bytes{0xBB, 0xFE}));  // -3.25
    EXPECT_EQ(Port().Ask("FWtemperature", {'2'}, 2), (Bytes{0x00, 0x80}));  // not fitted
}

TEST_F(SimTest, ReadsAndWritesItsMemoryAnywhere) {
    const auto memory = Board().Memory();
    EXPECT_EQ(Port().Ask("FWreadEE", {0, 144}, 144), Bytes(memory.begin(), memory.end()));
    EXPECT_EQ(Port().Ask("FWreadEE", {0x3E, 2}, 2), (Bytes{'L', 0}));  // first filter name

    // FilterCount := 3; the count follows the memory at once.
    EXPECT_EQ(Port().Ask("FWwriteEE", {0x01, 1, 3}, 1), Bytes{'!'});
    EXPECT_EQ(Port().Ask("FWCOUNT", {}, 1), Bytes{'3'});

    // Past the end: reads come up short, writes are taken and the excess dropped.
    EXPECT_EQ(SendAndSettle("FWreadEE", {140, 10}),
              Bytes(memory.begin() + 140, memory.end()));
    EXPECT_EQ(SendAndSettle("FWwriteEE", {143, 3, 0xAA, 0xBB, 0xCC}), Bytes{'!'});
    EXPECT_EQ(Board().Memory()[143], 0xAA);
}

TEST_F(SimTest, WritesFilterNamesAndTheMicrostepTable) {
    const Bytes name = {'R', 'e', 'd', 0, 0, 0, 0, 0};
    Bytes arguments{'1'};
    arguments.insert(arguments.end(), name.begin(), name.end());
    EXPECT_EQ(Port().Ask("FWWRITENAME", arguments, 1), Bytes{'!'});
    EXPECT_TRUE(std::equal(name.begin(), name.end(), Board().Memory().begin() + 0x3E + 8));

    Bytes table = Port().Ask("FWzm", {}, 65);
    ASSERT_EQ(table.size(), 65u);
    EXPECT_EQ(table[0], 64);    // length byte
    EXPECT_EQ(table[33], 255);  // peak in the middle of the half period
    table.erase(table.begin());
    std::reverse(table.begin(), table.end());
    EXPECT_EQ(Port().Ask("FWym", table, 1), Bytes{'!'});
    EXPECT_EQ(Board().MicrostepTable(), table);
}

TEST_F(SimTest, MovesTheWheelAndTheFocuser) {
    EXPECT_EQ(Port().Ask("FWGOTO", {'3'}, 1), Bytes{'3'});
    EXPECT_EQ(Port().Ask("FWFILTER", {}, 1), Bytes{'3'});
    EXPECT_EQ(SendAndSettle("FWGOTO", {'5'}), Bytes{'/'});  // only filters 0..4
    EXPECT_EQ(Board().CurrentFilter(), 3);
    EXPECT_EQ(Port().Ask("FWHOME", {}, 1), Bytes{'!'});
    EXPECT_EQ(Board().CurrentFilter(), 0);

    EXPECT_EQ(Port().Ask("FWgoFocus", {0xE8, 0x03}, 1), Bytes{'!'});  // 1000
    EXPECT_EQ(Port().Ask("FWfocus", {}, 2), (Bytes{0xE8, 0x03}));
    EXPECT_EQ(Port().Ask("FWdirFocus", {}, 1), Bytes{'+'});
    EXPECT_EQ(Port().Ask("FWgoFocus", {0x38, 0xFF}, 1), Bytes{'!'});  // -200
    EXPECT_EQ(Port().Ask("FWdirFocus", {}, 1), Bytes{'-'});
    EXPECT_EQ(Board().FocuserPosition(), -200);

    EXPECT_EQ(SendAndSettle("FWsetFocus", {0x40, 0x9C}), Bytes{'!'});  // 40000 wraps
    EXPECT_EQ(Board().FocuserPosition(), -25536);
}

TEST_F(SimTest, SelectsTheCompensationSensor) {
    EXPECT_EQ(Port().Ask("FWautoCompSet", {'1'}, 1), Bytes{'!'});
    EXPECT_EQ(Port().Ask("FWisAuto", {}, 1), Bytes{'1'});
    EXPECT_EQ(SendAndSettle("FWautoCompSet", {'7'}), Bytes{'/'});  // no such sensor
    EXPECT_EQ(Port().Ask("FWautoCompSet", {'/'}, 1), Bytes{'!'});
    EXPECT_EQ(Board().AutoCompSensor(), -1);
}

TEST_F(SimTest, ResynchronisesAfterLineNoise) {
    // Noise, a broken word, then a whole one: only the whole one is answered.
    EXPECT_EQ(SendAndSettle("\x55xyFWFWFILTER"), Bytes{'0'});
    EXPECT_EQ(SendAndSettle("FWfoFWCOUNT"), Bytes{'5'});
}

TEST_F(SimTest, DropsACommandWhoseArgumentsStopComing) {
    // Half a target: after the stall limit the board forgets it without moving.
    EXPECT_EQ(SendAndSettle("FWgoFocus", {0x10}), Bytes{});
    EXPECT_EQ(Board().FocuserPosition(), 0);
    EXPECT_EQ(Port().Ask("FWfocus", {}, 2), (Bytes{0x00, 0x00}));
}

TEST_F(SimTest, SendsNoticesWhileTheWheelTurns) {
    BoardOptions options = InstantBoard();
    options.notices = true;
    Start(options);
    const Bytes expected = {'F', 'W', 'm', 'o', 'v', 'e', 'F', 'o', 'c', 'u', 's',
                            20, 0,  // focus offset of filter 2
                            '2'};
    EXPECT_EQ(Port().Ask("FWGOTO", {'2'}, expected.size()), expected);
}

TEST_F(SimTest, APartThatIsNotFittedStaysQuiet) {
    BoardOptions options = InstantBoard();
    options.has_focuser = false;
    Start(options);
    EXPECT_EQ(SendAndSettle("FWfocus"), Bytes{});
    EXPECT_EQ(SendAndSettle("FWgoFocus", {1, 0}), Bytes{});  // arguments still consumed
    EXPECT_EQ(Port().Ask("FWFILTER", {}, 1), Bytes{'0'});

    options.has_focuser = true;
    options.has_wheel = false;
    Start(options);
    EXPECT_EQ(SendAndSettle("FWGOTO", {'1'}), Bytes{});
    EXPECT_EQ(Port().Ask("FWfocus", {}, 2), (Bytes{0, 0}));
}

TEST_F(SimTest, PacedRepliesKeepTheirBytes) {
    BoardOptions options = InstantBoard();
    options.pace = true;
    Start(options);
    const auto memory = Board().Memory();
    EXPECT_EQ(Port().Ask("FWreadEE", {0, 144}, 144), Bytes(memory.begin(), memory.end()));
}

}  // namespace
}  // namespace quillmoor::sim
