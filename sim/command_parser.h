// Cuts the byte stream from the PC into commands.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "sim/command_words.h"

namespace quillmoor::sim {

struct ParsedCommand {
    const CommandWord* word;
    std::vector<uint8_t> arguments;
};

class CommandParser {
public:
    using Clock = std::chrono::steady_clock;

    explicit CommandParser(std::chrono::milliseconds stall_limit) : stall_limit_(stall_limit) {}

    // Takes one byte. Returns the command this byte completes, if any.
    // `table_length` is how many bytes FWym carries (the board's table length).
    std::optional<ParsedCommand> Feed(uint8_t byte, Clock::time_point arrival,
                                      size_t table_length);
    // Forgets a half-read command whose bytes stopped too long before `now`.
    void DropIfStalled(Clock::time_point now);
    // When a half-read command will be dropped, if one is pending.
    std::optional<Clock::time_point> StallDeadline() const;
    bool Empty() const { return word_.empty() && command_ == nullptr; }

private:
    std::optional<ParsedCommand> Finish();
    void Reset();

    std::chrono::milliseconds stall_limit_;
    std::string word_;                      // letters of a word not yet complete
    const CommandWord* command_ = nullptr;  // word complete, reading arguments
    std::vector<uint8_t> arguments_;
    size_t needed_ = 0;
    Clock::time_point last_byte_{};
};

}  // namespace quillmoor::sim
