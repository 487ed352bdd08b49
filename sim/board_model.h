// What the board does with one command: its state and the reply it sends.
// No I/O and no locking here; BoardSim owns one model and guards it.
#pragma once

#include <chrono>
#include <cstdint>
#include <vector>

#include "sim/board_memory.h"
#include "sim/board_options.h"
#include "sim/command_parser.h"

namespace quillmoor::sim {

// Part of a reply: `bytes` leave after `delay`, counted from the end of the
// part before (a motor move is a delay before its final byte).
struct ReplyPart {
    std::chrono::microseconds delay{0};
    std::vector<uint8_t> bytes;
};
using Reply = std::vector<ReplyPart>;

struct MoveFaults {
    bool wheel_fails = false;
    bool never_ends = false;
};

class BoardModel {
public:
    explicit BoardModel(const BoardOptions& options);

    Reply Handle(const ParsedCommand& command, MoveFaults faults);

    size_t TableLength() const { return table_.size(); }
    const MemoryBytes& Memory() const { return memory_; }
    void SetMemory(const MemoryBytes& memory);
    int CurrentFilter() const { return current_filter_; }
    int16_t FocuserPosition() const { return position_; }
    int AutoCompSensor() const { return comp_sensor_; }
    const std::vector<uint8_t>& MicrostepTable() const { return table_; }
    void SetTemperature(int sensor, int16_t hundredths);

private:
    Reply Goto(int target, MoveFaults faults);
    Reply Home(MoveFaults faults);
    Reply GoFocus(int16_t target, MoveFaults faults);
    Reply ReadMemory(size_t address, size_t length) const;
    Reply WriteMemory(const std::vector<uint8_t>& arguments);
    Reply WriteName(const std::vector<uint8_t>& arguments);
    Reply Temperature(int sensor) const;
    Reply AutoCompSet(uint8_t index_byte);
    std::chrono::microseconds Scaled(double ms) const;
    double SlotMs() const;

    MemoryBytes memory_;
    std::vector<int16_t> temperatures_;
    std::vector<uint8_t> table_;
    uint8_t microsteps_per_full_step_;
    double time_scale_;
    int slot_ms_;
    bool notices_;
    int current_filter_;
    int16_t position_;
    char direction_ = '+';
    int comp_sensor_ = -1;
};

}  // namespace quillmoor::sim
