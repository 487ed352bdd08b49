// The board's record of the line: every byte in both directions, stamped.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

namespace quillmoor::sim {

enum class Direction {
    ToBoard,    // written by the PC, shown as ">>"
    FromBoard,  // written by the board, shown as "<<"
};

struct WireEvent {
    std::chrono::steady_clock::time_point time;
    Direction direction;
    uint8_t byte;
};

// One line per run of bytes in one direction:
//   "   12.345 >> 46 57 66 6F 63 75 73"
// Milliseconds since `origin`, then the direction as seen from the PC, then
// the bytes in hex. A run is also broken by a pause longer than 100 ms, the
// gap at which the driver stops reading.
std::string FormatRecord(const std::vector<WireEvent>& events,
                         std::chrono::steady_clock::time_point origin);

}  // namespace quillmoor::sim
