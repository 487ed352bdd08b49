// How the simulated board is fitted out and how fast it runs.
#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <vector>

namespace quillmoor::sim {

inline constexpr size_t kMemoryBytes = 144;
inline constexpr int16_t kNoReading = -32768;  // a sensor with no reading

// The configuration memory of a freshly set-up board: five filters named
// L, R, G, B, Ha; two sensors; focuser at 200 steps/s with 10 steps backlash.
std::array<uint8_t, kMemoryBytes> DefaultMemory();
// Half a sine period in 64 entries, peak 255 at entry 32.
std::vector<uint8_t> DefaultMicrostepTable();

struct BoardOptions {
    bool has_focuser = true;  // false: focuser commands get no answer
    bool has_wheel = true;    // false: wheel commands get no answer

    std::array<uint8_t, kMemoryBytes> memory = DefaultMemory();
    // One reading per fitted probe, in hundredths of a degree. A sensor
    // answers only if it is fitted and below SensorCount in the memory.
    std::vector<int16_t> temperatures = {1850, -325};

    int initial_filter = 0;  // the board homes at power-up; -1 = unknown
    int16_t initial_focuser_position = 0;
    std::vector<uint8_t> microstep_table = DefaultMicrostepTable();
    uint8_t microsteps_per_full_step = 64;

    bool pace = false;        // send at 9600 baud instead of all at once
    double time_scale = 1.0;  // multiplies move durations; 0 = moves are instant
    int slot_ms = 0;          // wheel time per slot; 0 = from WheelSpeed and
                              // MaxStepsBetweenFilters in the memory
    bool notices = false;     // send "FWmoveFocus" + 2 bytes during a wheel turn

    // A command whose bytes stop for longer than this is dropped.
    std::chrono::milliseconds arg_timeout{200};
    // The pause inserted by Fault::Gap.
    std::chrono::milliseconds gap{250};
    uint32_t garbage_seed = 1;
};

}  // namespace quillmoor::sim
