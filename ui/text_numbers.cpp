#include "ui/text_numbers.h"

#include <charconv>
#include <cmath>
#include <cstddef>
#include <limits>
#include <system_error>

namespace quillmoor::ui {
namespace {

// Blanks are the C library's white space, so a tab or a line break typed
// around a number is as harmless as a space.
bool IsBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}
bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

size_t SkipBlanks(std::string_view text, size_t at)
{
    while (at < text.size() && IsBlank(text[at])) ++at;
    return at;
}

// Reads "[sign]digits" at text[at..]; the magnitude saturates just above
// 2^32 so that any overflow is still seen as one, while low32 keeps the
// digits modulo 2^32 for the readers that wrap.
struct WholeNumber {
    bool negative = false;
    uint64_t magnitude = 0;
    uint32_t low32 = 0;  // unsigned arithmetic wraps by definition
    size_t end = 0;  // == start when there are no digits
};
WholeNumber ReadWholeNumber(std::string_view text, size_t at)
{
    WholeNumber number;
    if (at < text.size() && (text[at] == '+' || text[at] == '-')) {
        number.negative = text[at] == '-';
        ++at;
    }
    const size_t digitsStart = at;
    constexpr uint64_t kSaturated = uint64_t{1} << 33;
    while (at < text.size() && IsDigit(text[at])) {
        number.magnitude = number.magnitude * 10 + static_cast<uint64_t>(text[at] - '0');
        if (number.magnitude > kSaturated) number.magnitude = kSaturated;
        number.low32 = number.low32 * 10u + static_cast<uint32_t>(text[at] - '0');
        ++at;
    }
    number.end = at;
    if (at == digitsStart) number.end = 0;
    return number;
}

// A whole-text number: blanks, the number, blanks and nothing else.
std::optional<WholeNumber> ReadWholeText(std::string_view text)
{
    const size_t start = SkipBlanks(text, 0);
    WholeNumber number = ReadWholeNumber(text, start);
    if (number.end == 0 || SkipBlanks(text, number.end) != text.size()) return std::nullopt;
    return number;
}

// The length of the decimal real "[sign]digits[.digits][e[sign]digits]" at
// text[at..] (at least one mantissa digit), with the decimal exponent of its
// first significant digit, which tells an overflow from an underflow.
struct RealSpan {
    size_t length = 0;
    int64_t magnitudeExponent = 0;
};
RealSpan ScanReal(std::string_view text, size_t at)
{
    const size_t start = at;
    if (at < text.size() && (text[at] == '+' || text[at] == '-')) ++at;
    int64_t integerDigits = 0, fractionDigits = 0;
    int64_t significantPlace = 0;  // decimal place of the first non-zero digit
    bool seenSignificant = false;
    for (; at < text.size() && IsDigit(text[at]); ++at, ++integerDigits) {
        if (!seenSignificant && text[at] != '0') seenSignificant = true;
        if (seenSignificant) ++significantPlace;
    }
    if (at < text.size() && text[at] == '.') {
        ++at;
        for (; at < text.size() && IsDigit(text[at]); ++at, ++fractionDigits) {
            if (!seenSignificant) {
                --significantPlace;
                if (text[at] != '0') seenSignificant = true;
            }
        }
    }
    if (integerDigits + fractionDigits == 0) return {};
    int64_t exponent = 0;
    if (at < text.size() && (text[at] == 'e' || text[at] == 'E')) {
        size_t e = at + 1;
        const bool negative = e < text.size() && text[e] == '-';
        if (e < text.size() && (text[e] == '+' || text[e] == '-')) ++e;
        if (e < text.size() && IsDigit(text[e])) {
            constexpr int64_t kSaturated = int64_t{1} << 40;
            for (; e < text.size() && IsDigit(text[e]); ++e) {
                exponent = exponent * 10 + (text[e] - '0');
                if (exponent > kSaturated) exponent = kSaturated;
            }
            if (negative) exponent = -exponent;
            at = e;
        }
    }
    return {at - start, significantPlace + exponent};
}

// The value of a span ScanReal accepted; out of range gives 0 for a tiny
// number and an infinity for a huge one.
double ConvertReal(std::string_view span, int64_t magnitudeExponent)
{
    const bool negative = span.front() == '-';
    if (span.front() == '+' || span.front() == '-') span.remove_prefix(1);
    double value = 0.0;
    const auto result = std::from_chars(span.data(), span.data() + span.size(), value);
    if (result.ec == std::errc::result_out_of_range) {
        value = magnitudeExponent > 0 ? std::numeric_limits<double>::infinity() : 0.0;
    }
    return negative ? -value : value;
}

}  // namespace

std::optional<int32_t> ParseSigned(std::string_view text)
{
    const auto number = ReadWholeText(text);
    if (!number) return std::nullopt;
    const uint64_t limit = number->negative ? uint64_t{1} << 31 : (uint64_t{1} << 31) - 1;
    if (number->magnitude > limit) return std::nullopt;
    const int64_t value = static_cast<int64_t>(number->magnitude);
    return static_cast<int32_t>(number->negative ? -value : value);
}

std::optional<uint32_t> ParseUnsigned(std::string_view text)
{
    const auto number = ReadWholeText(text);
    if (!number || number->negative) return std::nullopt;
    if (number->magnitude > std::numeric_limits<uint32_t>::max()) return std::nullopt;
    return static_cast<uint32_t>(number->magnitude);
}

std::optional<double> ParseReal(std::string_view text)
{
    const size_t start = SkipBlanks(text, 0);
    const RealSpan span = ScanReal(text, start);
    if (span.length == 0 || SkipBlanks(text, start + span.length) != text.size()) {
        return std::nullopt;
    }
    const double value = ConvertReal(text.substr(start, span.length), span.magnitudeExponent);
    if (!std::isfinite(value)) return std::nullopt;
    return value;
}

std::string FormatReal(double value)
{
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 15);
    if (result.ec != std::errc()) return {};
    return std::string(buffer, result.ptr);
}

int32_t LeadingInteger(std::string_view text)
{
    const WholeNumber number = ReadWholeNumber(text, SkipBlanks(text, 0));
    return static_cast<int32_t>(number.negative ? 0u - number.low32 : number.low32);
}

double LeadingReal(std::string_view text)
{
    const size_t start = SkipBlanks(text, 0);
    const RealSpan span = ScanReal(text, start);
    if (span.length == 0) return 0.0;
    return ConvertReal(text.substr(start, span.length), span.magnitudeExponent);
}

}  // namespace quillmoor::ui
