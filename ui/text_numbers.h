// Numbers typed into dialog fields. The whole-text parsers are the data
// exchange's: they accept blanks around one number and nothing else, and
// say no instead of guessing. The leading-number readers are for fields
// whose text counts as 0 when it is not a number.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace quillmoor::ui {

// Blanks, an optional sign, decimal digits, blanks; within 32 bits.
std::optional<int32_t> ParseSigned(std::string_view text);
// As ParseSigned without a minus sign; up to 4294967295.
std::optional<uint32_t> ParseUnsigned(std::string_view text);
// Blanks, a finite decimal real ("10", "-2.5", "1e-3"), blanks.
std::optional<double> ParseReal(std::string_view text);

// The shortest text with up to 15 significant digits: 10.0 gives "10".
std::string FormatReal(double value);

// Leading blanks skipped, an optional sign, then digits up to the first other
// character; 0 when there are none. The value wraps modulo 2^32 instead of
// overflowing, so its low bits are always those of the typed number.
int32_t LeadingInteger(std::string_view text);
// Leading blanks skipped, then the longest prefix that reads as a real
// number; 0.0 when there is none.
double LeadingReal(std::string_view text);

}  // namespace quillmoor::ui
