// Saving and loading a settings file. Loading writes the file's block into
// the board and reads the board back; see LoadFromFile for what a failure
// at each stage leaves behind.
#include <cstdio>
#include <optional>

#include "device/fw_device.h"
#include "device/settings_codec.h"

namespace quillmoor {
namespace {

inline constexpr size_t kReadChunkBytes = 4096;

// Reads only as far as the record goes, so a file with a long tail costs nothing.
std::optional<SettingsRecord> ReadSettingsFile(const std::string& path)
{
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) return std::nullopt;
    SettingsFileDecoder decoder;
    uint8_t chunk[kReadChunkBytes];
    while (!decoder.Complete()) {
        const size_t n = std::fread(chunk, 1, sizeof chunk, file);
        decoder.Feed({chunk, n});
        if (n < sizeof chunk) break;
    }
    const bool readFailed = std::ferror(file) != 0;
    std::fclose(file);
    if (readFailed) return std::nullopt;
    return decoder.Finish();
}

}  // namespace

void CFWDevice::SaveToFile(const std::string& path)
{
    SettingsRecord record;
    record.Config = Config;
    record.Options = Options;
    record.ChangeFilterTimeoutMs = ChangeFilterTimeoutMs;
    for (int i = 0; i < kTemperatureSlots; ++i) record.TermometerNames[i] = TermometerName[i];
    const std::vector<uint8_t> bytes = EncodeSettingsFile(record);

    // A file that cannot be created is ignored, as are write errors.
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) return;
    std::fwrite(bytes.data(), 1, bytes.size(), file);
    std::fclose(file);
}

// Failures, by stage:
// - unreadable, or shorter than the fixed part: nothing changes;
// - not connected, or another exchange holds Busy: the timeout and the names
//   are taken from the file, the options and the board are not touched;
// - the board does not confirm the write: as above, and the board keeps
//   whatever part of the block it stored.
bool CFWDevice::LoadFromFile(const std::string& path)
{
    const std::optional<SettingsRecord> record = ReadSettingsFile(path);
    if (!record) return false;
    ChangeFilterTimeoutMs = record->ChangeFilterTimeoutMs;
    for (int i = 0; i < kTemperatureSlots; ++i) TermometerName[i] = record->TermometerNames[i];

    if (!PortIsOpen() || !TryClaimBusy()) return false;
    const bool written = WriteEeprom(0, sizeof(ControllerConfig), &record->Config);
    ReleaseBusy();
    if (!written) return false;

    Options = record->Options;
    InitAfterConnect();  // reads the block back into Config; its outcome is not ours to report
    return true;
}

}  // namespace quillmoor
