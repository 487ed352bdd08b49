// The settings file (*.fws) as bytes: the board's 144-byte configuration
// block, the driver's 32-byte options unit, the per-slot timeout, then four
// sensor names each ending in a zero byte. No header, version or checksum.
//
// On disk every 0x0A of that record is stored as 0x0D 0x0A, the way a
// text-mode file stores a line end; the expansion is done here, byte by byte,
// so that the file is the same on every system. Reading turns each 0x0D 0x0A
// back into 0x0A and takes every other byte, a lone 0x0D or 0x0A included,
// as it is.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "device/controller_config.h"

namespace quillmoor {

// Block, options unit and timeout: a file shorter than this is not loaded.
inline constexpr size_t kSettingsFixedBytes = sizeof(ControllerConfig) + sizeof(DriverOptions) + 4;
// Longer names keep their first kMaxLoadedNameBytes bytes; the rest of such
// a name, up to its zero byte, is skipped so that the next names still load.
inline constexpr size_t kMaxLoadedNameBytes = 1023;

struct SettingsRecord {
    ControllerConfig Config{};
    DriverOptions Options;
    int32_t ChangeFilterTimeoutMs = 0;
    std::array<std::string, kTemperatureSlots> TermometerNames;

    bool operator==(const SettingsRecord&) const;
};

// The file's bytes as stored on disk. A name ends at its first zero byte.
std::vector<uint8_t> EncodeSettingsFile(const SettingsRecord& record);

// Reads the stored bytes of a settings file in pieces of any size.
class SettingsFileDecoder {
public:
    void Feed(std::span<const uint8_t> stored);
    // True once the fourth name has ended: later bytes are not part of the record.
    bool Complete() const { return nameIndex_ == kTemperatureSlots; }
    // At the end of the file: the record, or nothing when the file ended
    // before the fixed part was whole. Names the file does not reach are empty.
    std::optional<SettingsRecord> Finish();

private:
    void Take(uint8_t byte);

    std::array<uint8_t, kSettingsFixedBytes> fixed_{};
    size_t fixedCount_ = 0;
    std::array<std::string, kTemperatureSlots> names_;
    size_t nameIndex_ = 0;
    bool pendingCarriageReturn_ = false;
};

std::optional<SettingsRecord> DecodeSettingsFile(std::span<const uint8_t> stored);

}  // namespace quillmoor
