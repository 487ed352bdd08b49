// Reading and writing fields of the board's configuration memory.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "sim/board_options.h"

namespace quillmoor::sim {

using MemoryBytes = std::array<uint8_t, kMemoryBytes>;

uint16_t ReadU16(const MemoryBytes& memory, size_t offset);
void WriteU16(MemoryBytes& memory, size_t offset, uint16_t value);

// The fields the board itself acts on.
int FilterCount(const MemoryBytes& memory);
int SensorCount(const MemoryBytes& memory);
int FocuserSpeed(const MemoryBytes& memory);  // steps per second
int FocuserBacklash(const MemoryBytes& memory);
int MicrostepIncrement(const MemoryBytes& memory);
int WheelSpeed(const MemoryBytes& memory);
int MaxStepsBetweenFilters(const MemoryBytes& memory);
size_t FilterNameOffset(int filter);  // 8 bytes per name
size_t FocusPosOffset(int filter);

}  // namespace quillmoor::sim
