// What the platform tests run against, the same on every system: a few
// serial ports with known boards behind them, a way to let timers fire on
// the calling thread, and a settings key of their own.
//
// On POSIX the tests start simulated boards themselves and link them into a
// private port folder. On Windows a harness (tests/platform/run-wine.sh) has
// already put simulator programs behind COM ports and names them on the
// command line.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <string>

namespace quillmoor::test {

enum class Board {
    Healthy,    // answers every command at once
    GapFocus,   // FWfocus: a 250 ms pause before the last reply byte
    Silent,     // hears everything, answers nothing
    Missing,    // the port number leads nowhere
};

// The COM number of the board's port; 0 when none was given.
int PortNumber(Board board);

inline const char* BoardName(Board board)
{
    switch (board) {
    case Board::Healthy: return "healthy board";
    case Board::GapFocus: return "board with a gap in its FWfocus reply";
    case Board::Silent: return "silent board";
    case Board::Missing: return "missing port";
    }
    return "?";
}

// Reads the board options off the command line (after gtest has taken its
// own). False with a message on stderr for anything it does not know.
bool ReadBoardArguments(int argc, char** argv);
// Starts (POSIX) or checks (Windows) the boards; gtest owns the result.
::testing::Environment* MakeBoardEnvironment();

// Lets the calling thread handle its messages for the given time: timers
// without a window fire only then on Windows. Elsewhere it just waits.
void PumpMessagesFor(std::chrono::milliseconds duration);

// Settings keys of the tests live under this key and nowhere else.
inline constexpr const char* kTestKeyRoot = "Software\\Quillmoor Tests";
// Deletes the test key with everything under it.
void RemoveTestKeys();

}  // namespace quillmoor::test
