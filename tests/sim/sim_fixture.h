// A simulated board and the PC's end of its line, for one test.
#pragma once

#include <gtest/gtest.h>

#include <memory>

#include "pty_port.h"
#include "sim/board_sim.h"

namespace quillmoor::sim {

inline BoardOptions InstantBoard() {
    BoardOptions options;
    options.time_scale = 0;  // moves end at once
    return options;
}

class SimTest : public ::testing::Test {
protected:
    void Start(BoardOptions options = InstantBoard()) {
        board_ = std::make_unique<BoardSim>(std::move(options));
        ASSERT_TRUE(board_->IsRunning()) << board_->Error();
        port_ = std::make_unique<PtyPort>(board_->SlavePath());
        ASSERT_TRUE(port_->IsOpen());
    }
    void SetUp() override { Start(); }

    BoardSim& Board() { return *board_; }
    PtyPort& Port() { return *port_; }

    // Sends a command and waits until the board has finished with it; the
    // record then tells whether and what it answered. The answer is also read
    // off the line.
    Bytes SendAndSettle(std::string_view word, const Bytes& arguments = {}) {
        Board().ClearRecord();
        const Bytes command = Command(word, arguments);
        EXPECT_TRUE(Port().Write(command));
        EXPECT_TRUE(Board().WaitForReceived(command.size(), kPatience));
        EXPECT_TRUE(Board().WaitForIdle(kPatience));
        const Bytes sent = Board().Sent();
        EXPECT_EQ(Port().Read(sent.size()), sent);  // nothing left for the next command
        return sent;
    }

    static constexpr std::chrono::seconds kPatience{5};

    std::unique_ptr<BoardSim> board_;
    std::unique_ptr<PtyPort> port_;
};

}  // namespace quillmoor::sim
