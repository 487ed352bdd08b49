#include "device/settings_codec.h"

#include <cstring>
#include <string_view>

namespace quillmoor {
namespace {

inline constexpr uint8_t kLineFeed = 0x0A;
inline constexpr uint8_t kCarriageReturn = 0x0D;

void AppendExpanded(std::vector<uint8_t>& out, const void* data, size_t size)
{
    const auto* bytes = static_cast<const uint8_t*>(data);
    for (size_t i = 0; i < size; ++i) {
        if (bytes[i] == kLineFeed) out.push_back(kCarriageReturn);
        out.push_back(bytes[i]);
    }
}

}  // namespace

bool SettingsRecord::operator==(const SettingsRecord& other) const
{
    return std::memcmp(&Config, &other.Config, sizeof Config) == 0 &&
           std::memcmp(&Options, &other.Options, sizeof Options) == 0 &&
           ChangeFilterTimeoutMs == other.ChangeFilterTimeoutMs &&
           TermometerNames == other.TermometerNames;
}

std::vector<uint8_t> EncodeSettingsFile(const SettingsRecord& record)
{
    std::vector<uint8_t> out;
    out.reserve(kSettingsFixedBytes * 2);
    AppendExpanded(out, &record.Config, sizeof record.Config);
    AppendExpanded(out, &record.Options, sizeof record.Options);
    AppendExpanded(out, &record.ChangeFilterTimeoutMs, sizeof record.ChangeFilterTimeoutMs);
    for (const std::string& name : record.TermometerNames) {
        const std::string_view text(name.c_str());  // up to its first zero byte
        AppendExpanded(out, text.data(), text.size());
        out.push_back(0);
    }
    return out;
}

void SettingsFileDecoder::Feed(std::span<const uint8_t> stored)
{
    for (uint8_t byte : stored) {
        if (Complete()) return;
        if (pendingCarriageReturn_) {
            pendingCarriageReturn_ = false;
            if (byte == kLineFeed) {
                Take(kLineFeed);
                continue;
            }
            Take(kCarriageReturn);  // a lone 0x0D is data
        }
        if (byte == kCarriageReturn)
            pendingCarriageReturn_ = true;
        else
            Take(byte);
    }
}

void SettingsFileDecoder::Take(uint8_t byte)
{
    if (fixedCount_ < kSettingsFixedBytes) {
        fixed_[fixedCount_++] = byte;
    } else if (byte == 0) {
        ++nameIndex_;
    } else if (names_[nameIndex_].size() < kMaxLoadedNameBytes) {
        names_[nameIndex_].push_back(static_cast<char>(byte));
    }
}

std::optional<SettingsRecord> SettingsFileDecoder::Finish()
{
    if (pendingCarriageReturn_ && !Complete()) Take(kCarriageReturn);
    pendingCarriageReturn_ = false;
    if (fixedCount_ < kSettingsFixedBytes) return std::nullopt;

    SettingsRecord record;
    const uint8_t* at = fixed_.data();
    std::memcpy(&record.Config, at, sizeof record.Config);
    at += sizeof record.Config;
    std::memcpy(&record.Options, at, sizeof record.Options);
    at += sizeof record.Options;
    std::memcpy(&record.ChangeFilterTimeoutMs, at, sizeof record.ChangeFilterTimeoutMs);
    record.TermometerNames = names_;
    return record;
}

std::optional<SettingsRecord> DecodeSettingsFile(std::span<const uint8_t> stored)
{
    SettingsFileDecoder decoder;
    decoder.Feed(stored);
    return decoder.Finish();
}

}  // namespace quillmoor
