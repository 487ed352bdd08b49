#include "sim/board_memory.h"

#include <cmath>
#include <cstring>
#include <numbers>

#include "device/controller_config.h"

namespace quillmoor::sim {

static_assert(sizeof(ControllerConfig) == kMemoryBytes);

uint16_t ReadU16(const MemoryBytes& memory, size_t offset) {
    return static_cast<uint16_t>(memory[offset] | (memory[offset + 1] << 8));
}

void WriteU16(MemoryBytes& memory, size_t offset, uint16_t value) {
    memory[offset] = static_cast<uint8_t>(value & 0xFF);
    memory[offset + 1] = static_cast<uint8_t>(value >> 8);
}

int FilterCount(const MemoryBytes& m) { return m[offsetof(ControllerConfig, FilterCount)]; }
int SensorCount(const MemoryBytes& m) { return m[offsetof(ControllerConfig, SensorCount)]; }
int FocuserSpeed(const MemoryBytes& m) { return ReadU16(m, offsetof(ControllerConfig, FocuserSpeed)); }
int FocuserBacklash(const MemoryBytes& m) {
    return ReadU16(m, offsetof(ControllerConfig, FocuserBacklash));
}
int MicrostepIncrement(const MemoryBytes& m) {
    return m[offsetof(ControllerConfig, MicrostepIncrement)];
}
int WheelSpeed(const MemoryBytes& m) { return ReadU16(m, offsetof(ControllerConfig, WheelSpeed)); }
int MaxStepsBetweenFilters(const MemoryBytes& m) {
    return ReadU16(m, offsetof(ControllerConfig, MaxStepsBetweenFilters));
}

size_t FilterNameOffset(int filter) {
    return offsetof(ControllerConfig, FilterNames) + static_cast<size_t>(filter) * kFilterNameBytes;
}

size_t FocusPosOffset(int filter) {
    return offsetof(ControllerConfig, FocusPos) + static_cast<size_t>(filter) * 2;
}

std::array<uint8_t, kMemoryBytes> DefaultMemory() {
    ControllerConfig config{};
    config.FilterCount = 5;
    config.WheelSpeed = 400;
    config.WheelReleaseIdle = 1;
    config.WheelStepMode = 2;
    config.WheelSensorSeesHome = 1;
    config.PowerOutputMode = 2;
    config.FocuserSpeed = 200;
    config.FocuserIdlePower = 2;
    config.MicrostepIncrement = 8;
    config.FocuserBacklash = 10;
    config.SensorCount = 2;
    config.TempCompStepsPerDegree = -12;
    config.TempAveraging = 4;
    config.DirectionThreshold = 5;
    constexpr const char* kNames[] = {"L", "R", "G", "B", "Ha"};
    for (int i = 0; i < 5; ++i) {
        config.WheelPos[i] = static_cast<int16_t>(200 * i);
        config.FocusPos[i] = static_cast<int16_t>(i == 4 ? 35 : 10 * i);
        std::strncpy(config.FilterNames[i], kNames[i], kFilterNameBytes);
    }
    config.MaxStepsBetweenFilters = 200;

    std::array<uint8_t, kMemoryBytes> memory{};
    std::memcpy(memory.data(), &config, kMemoryBytes);
    return memory;
}

std::vector<uint8_t> DefaultMicrostepTable() {
    constexpr int kLength = 64;
    std::vector<uint8_t> table(kLength);
    for (int i = 0; i < kLength; ++i)
        table[i] = static_cast<uint8_t>(
            std::lround(255.0 * std::sin(std::numbers::pi * i / kLength)));
    return table;
}

}  // namespace quillmoor::sim
