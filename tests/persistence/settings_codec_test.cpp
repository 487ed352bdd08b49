// The settings file's bytes: the line-end expansion, the names and what a
// reader makes of files that are cut short, oversized or odd.
#include <gtest/gtest.h>

#include <cstring>

#include "device/settings_codec.h"

namespace quillmoor {
namespace {

constexpr uint8_t CR = 0x0D;
constexpr uint8_t LF = 0x0A;

// A fixed part with no 0x0A or 0x0D in it: every byte is its offset + 0x20.
std::vector<uint8_t> PlainFixedPart()
{
    std::vector<uint8_t> bytes(kSettingsFixedBytes);
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(0x20 + i % 0xD0);
    return bytes;
}

std::vector<uint8_t> operator+(std::vector<uint8_t> a, const std::vector<uint8_t>& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

std::vector<uint8_t> Text(std::string_view text) { return {text.begin(), text.end()}; }

SettingsRecord Decoded(const std::vector<uint8_t>& stored)
{
    std::optional<SettingsRecord> record = DecodeSettingsFile(stored);
    EXPECT_TRUE(record.has_value());
    return record.value_or(SettingsRecord{});
}

using Names = std::array<std::string, kTemperatureSlots>;

TEST(SettingsCodec, LineFeedsAreStoredAfterACarriageReturnAndNothingElseChanges)
{
    SettingsRecord record;
    record.Config.WheelSpeed = 10;             // bytes 0A 00
    record.Config.FocuserBacklash = 0x0A0D;    // bytes 0D 0A: already looks like a line end
    record.Config.Reserved1 = CR;              // a lone 0x0D
    record.ChangeFilterTimeoutMs = 0x0D0A0D0A;
    record.TermometerNames = {"a\nb", "", "c\rd", "\r"};
    const std::vector<uint8_t> stored = EncodeSettingsFile(record);

    EXPECT_EQ(std::vector<uint8_t>(stored.begin() + 2, stored.begin() + 5), (std::vector<uint8_t>{CR, LF, 0x00}));
    EXPECT_EQ(std::vector<uint8_t>(stored.begin() + 0x0D, stored.begin() + 0x11),
              (std::vector<uint8_t>{CR, CR, LF, CR}));
    const std::vector<uint8_t> tail(stored.end() - 18, stored.end());
    EXPECT_EQ(tail, (std::vector<uint8_t>{
                        CR, LF, CR, CR, LF, CR,  // the timeout 0A 0D 0A 0D
                        'a', CR, LF, 'b', 0,     // "a\nb"
                        0,                       // ""
                        'c', CR, 'd', 0,         // "c\rd"
                        CR, 0}));                // "\r"
    EXPECT_EQ(Decoded(stored), record);
}

TEST(SettingsCodec, ReaderTakesLoneCarriageReturnsAndLineFeedsAsData)
{
    std::vector<uint8_t> fixed = PlainFixedPart();
    fixed[0] = LF;   // a lone 0x0A
    fixed[1] = CR;   // a lone 0x0D
    fixed[2] = CR;   // 0D 0D 0A: data 0D, then a line end
    fixed[3] = CR;
    fixed[4] = LF;
    const SettingsRecord record = Decoded(fixed + std::vector<uint8_t>{0, 0, 0, 0});
    const uint8_t* config = reinterpret_cast<const uint8_t*>(&record.Config);
    // The five stored bytes made four record bytes; the rest moved up by one.
    EXPECT_EQ(std::vector<uint8_t>(config, config + 5), (std::vector<uint8_t>{LF, CR, CR, LF, fixed[5]}));
}

TEST(SettingsCodec, CarriageReturnAtTheEndOfTheFileIsData)
{
    const SettingsRecord record = Decoded(PlainFixedPart() + Text("ab\r"));
    EXPECT_EQ(record.TermometerNames, (Names{"ab\r", "", "", ""}));
}

TEST(SettingsCodec, FileShorterThanTheFixedPartIsRefused)
{
    std::vector<uint8_t> fixed = PlainFixedPart();
    EXPECT_FALSE(DecodeSettingsFile({}).has_value());
    EXPECT_FALSE(DecodeSettingsFile(std::span(fixed).first(kSettingsFixedBytes - 1)).has_value());
    // 180 bytes on disk, but one pair is a single line feed: 179 in the record.
    fixed[10] = CR;
    fixed[11] = LF;
    EXPECT_FALSE(DecodeSettingsFile(fixed).has_value());
}

TEST(SettingsCodec, FixedPartAloneLoadsWithFourEmptyNames)
{
    const SettingsRecord record = Decoded(PlainFixedPart());
    EXPECT_EQ(record.TermometerNames, (Names{"", "", "", ""}));
    int32_t timeout = 0;
    std::memcpy(&timeout, PlainFixedPart().data() + 176, 4);
    EXPECT_EQ(record.ChangeFilterTimeoutMs, timeout);
}

TEST(SettingsCodec, NamesEndAtZeroBytesOrAtTheEndOfTheFile)
{
    EXPECT_EQ(Decoded(PlainFixedPart() + Text(std::string_view("one\0two", 7))).TermometerNames,
              (Names{"one", "two", "", ""}));
    EXPECT_EQ(Decoded(PlainFixedPart() + Text(std::string_view("a\0b\0c\0d\0tail after the record", 29)))
                  .TermometerNames,
              (Names{"a", "b", "c", "d"}));
}

TEST(SettingsCodec, LongNamesKeepTheirFirst1023BytesAndTheNextNamesStillLoad)
{
    const std::string longest(1023, 'x');
    const std::string tooLong = std::string(1023, 'y') + "zzz";
    const std::string enormous(1 << 20, 'e');
    const std::vector<uint8_t> stored = PlainFixedPart() + Text(longest) + std::vector<uint8_t>{0} +
                                        Text(tooLong) + std::vector<uint8_t>{0} + Text(enormous) +
                                        std::vector<uint8_t>{0} + Text("last");
    EXPECT_EQ(Decoded(stored).TermometerNames,
              (Names{longest, std::string(1023, 'y'), std::string(1023, 'e'), "last"}));
}

TEST(SettingsCodec, ReadingInPiecesGivesTheSameRecordWhereverTheFileIsSplit)
{
    SettingsRecord record;
    record.Config.WheelSpeed = 10;
    record.Config.Reserved0 = CR;
    record.TermometerNames = {"x\n", "\r\n", "", "z"};
    const std::vector<uint8_t> stored = EncodeSettingsFile(record);
    for (size_t split = 0; split <= stored.size(); ++split) {
        SettingsFileDecoder decoder;
        decoder.Feed(std::span(stored).first(split));
        decoder.Feed(std::span(stored).subspan(split));
        EXPECT_EQ(decoder.Finish(), record) << "split at " << split;
    }
}

}  // namespace
}  // namespace quillmoor
