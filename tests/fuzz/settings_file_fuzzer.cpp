// Feeds arbitrary bytes to the settings-file reader. Beyond not crashing and
// staying inside its buffers, the reader must give the same record however
// the file is split into reads, and a record it accepts must survive being
// written and read again.
#include <cstdint>
#include <cstdlib>

#include "device/settings_codec.h"

namespace {

void Require(bool condition)
{
    if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace quillmoor;
    const std::span<const uint8_t> stored(data, size);
    const std::optional<SettingsRecord> whole = DecodeSettingsFile(stored);

    const size_t split = size == 0 ? 0 : data[0] % (size + 1);
    SettingsFileDecoder pieces;
    pieces.Feed(stored.first(split));
    pieces.Feed(stored.subspan(split));
    Require(pieces.Finish() == whole);

    if (size < kSettingsFixedBytes) Require(!whole);  // every record byte takes a stored byte
    if (!whole) return 0;
    for (const std::string& name : whole->TermometerNames) {
        Require(name.size() <= kMaxLoadedNameBytes);
        Require(name.find('\0') == std::string::npos);
    }
    Require(DecodeSettingsFile(EncodeSettingsFile(*whole)) == whole);
    return 0;
}
