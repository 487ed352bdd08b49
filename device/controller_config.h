// Records that cross the wire or a file: the board's configuration block, the
// driver's options unit and one filter of the filter table.
#pragma once

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <limits>

namespace quillmoor {

static_assert(std::endian::native == std::endian::little,
              "the records below are laid out in the board's little-endian order");

inline constexpr int kMaxFilters = 10;
inline constexpr int kFilterNameBytes = 8;
inline constexpr int kTemperatureSlots = 4;
inline constexpr size_t kMicrostepTableBytes = 128;  // the most entries a microstep table has

// The board's 144-byte configuration memory, byte for byte as FWreadEE and
// FWwriteEE carry it and as the first 144 bytes of a settings file.
struct ControllerConfig {
    uint8_t Reserved0;                // preserved as read
    uint8_t FilterCount;
    uint16_t WheelSpeed;              // steps per second
    uint8_t WheelReleaseIdle;
    uint8_t WheelStepMode;            // 1 = half steps, 2 = full steps
    uint8_t WheelSensorSeesHome;
    uint8_t PowerOutputMode;          // 0..3
    uint16_t FocuserSpeed;            // steps per second
    uint8_t FocuserIdlePower;
    uint8_t MicrostepIncrement;
    uint16_t FocuserBacklash;         // steps
    uint8_t Reserved1;                // preserved as read
    uint8_t SensorCount;
    int16_t TempCompStepsPerDegree;
    uint16_t TempAveraging;
    uint16_t DirectionThreshold;
    int16_t WheelPos[kMaxFilters];
    int16_t FocusPos[kMaxFilters];
    char FilterNames[kMaxFilters][kFilterNameBytes];  // NUL-padded, no NUL at 8 characters
    uint16_t MaxStepsBetweenFilters;
};

static_assert(sizeof(ControllerConfig) == 144);
static_assert(offsetof(ControllerConfig, FocuserSpeed) == 0x08);
static_assert(offsetof(ControllerConfig, FocuserBacklash) == 0x0C);
static_assert(offsetof(ControllerConfig, SensorCount) == 0x0F);
static_assert(offsetof(ControllerConfig, WheelPos) == 0x16);
static_assert(offsetof(ControllerConfig, FocusPos) == 0x2A);
static_assert(offsetof(ControllerConfig, FilterNames) == 0x3E);
static_assert(offsetof(ControllerConfig, MaxStepsBetweenFilters) == 0x8E);

// The driver's own options, as one 32-byte unit with two reserved gaps. The
// gaps are kept as loaded so that a settings file written back carries them.
struct DriverOptions {
    int32_t ComPort = 0;  // 0 = search COM1..COM16 ("Auto")
    uint8_t Reserved0[4] = {};
    double StepLenInMicrons = 10.0;
    int32_t AscomPreferredTermometer = 0;
    int32_t AscomFocusShift = 0;
    int32_t AscomMaxFocusPos = 30000;
    uint8_t Reserved1[4] = {};
};

static_assert(sizeof(DriverOptions) == 32);
static_assert(offsetof(DriverOptions, StepLenInMicrons) == 8);
static_assert(offsetof(DriverOptions, AscomPreferredTermometer) == 16);
static_assert(offsetof(DriverOptions, Reserved1) == 28);

// The motor target of a client's absolute move. Outside 0..AscomMaxFocusPos
// the move stops at the limit, as clients expect of an absolute focuser; the
// target stays within the board's 16 bits, so it is never sent wrapped round
// to the far side.
inline int32_t MotorTargetFor(const DriverOptions& options, int32_t clientPosition)
{
    const int32_t asked = std::clamp<int32_t>(clientPosition, 0, std::max<int32_t>(options.AscomMaxFocusPos, 0));
    const int64_t motor = int64_t(asked) - options.AscomFocusShift;
    return static_cast<int32_t>(
        std::clamp<int64_t>(motor, std::numeric_limits<int16_t>::min(), std::numeric_limits<int16_t>::max()));
}

// The position a client sees for a motor position: the shift added, wrapping
// like the 32-bit integers clients hold, so that no shift overflows.
inline int32_t ClientPositionFor(const DriverOptions& options, int32_t motorPosition)
{
    return static_cast<int32_t>(static_cast<uint32_t>(motorPosition) + static_cast<uint32_t>(options.AscomFocusShift));
}

// One filter of the filter table.
struct FilterSlot {
    char Name[20] = {};     // at most 8 characters, NUL-terminated
    int32_t Pos = 0;        // wheel position
    int32_t FocuserPos = 0; // focuser position of this filter (its focus offset)
};

// Filter indexes, sensor indexes and counts travel as '0' plus the number;
// -1 is '/'.
constexpr uint8_t IndexByte(int number) { return static_cast<uint8_t>('0' + number); }
constexpr int IndexFromByte(uint8_t byte) { return static_cast<int>(byte) - '0'; }

}  // namespace quillmoor
