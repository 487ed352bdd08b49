// Numbers typed into dialog fields: the strict whole-text parsers and the
// lenient leading-number readers.
#include <gtest/gtest.h>

#include "ui/text_numbers.h"

namespace quillmoor::ui {
namespace {

TEST(TextNumbers, WholeTextIntegersTakeBlanksAndASignButNothingElse)
{
    EXPECT_EQ(ParseSigned(" 12 "), 12);
    EXPECT_EQ(ParseSigned("+5"), 5);
    EXPECT_EQ(ParseSigned("\t-5\r\n"), -5);
    EXPECT_EQ(ParseSigned("-2147483648"), INT32_MIN);
    EXPECT_EQ(ParseUnsigned("4294967295"), UINT32_MAX);
    for (const char* bad : {"", "  ", "12a", "1 2", "-", "2147483648", "-2147483649", "99999999999999999999999"}) {
        EXPECT_EQ(ParseSigned(bad), std::nullopt) << bad;
    }
    for (const char* bad : {"-5", "4294967296", "0x10"}) {
        EXPECT_EQ(ParseUnsigned(bad), std::nullopt) << bad;
    }
}

TEST(TextNumbers, RealsAreFiniteDecimalsAndShowInTheirShortestForm)
{
    EXPECT_EQ(ParseReal(" -2.5 "), -2.5);
    EXPECT_EQ(ParseReal("1e-3"), 1e-3);
    EXPECT_EQ(ParseReal(".5"), 0.5);
    for (const char* bad : {"", "abc", "inf", "nan", "1e999", "1e", "0x1p3", "1.5 2"}) {
        EXPECT_EQ(ParseReal(bad), std::nullopt) << bad;
    }
    EXPECT_EQ(FormatReal(10.0), "10");
    EXPECT_EQ(FormatReal(0.1), "0.1");
    EXPECT_EQ(FormatReal(-2.5), "-2.5");
    EXPECT_EQ(ParseReal(FormatReal(1.0 / 3.0)).value_or(0), 0.333333333333333);
}

TEST(TextNumbers, LeadingNumbersReadWhatTheyCanAndOtherwiseGiveZero)
{
    EXPECT_EQ(LeadingInteger("  -12xyz"), -12);
    EXPECT_EQ(LeadingInteger("abc"), 0);
    EXPECT_EQ(LeadingInteger("\t5\t7"), 5);
    EXPECT_EQ(LeadingInteger("4294967297"), 1);  // 2^32 + 1 keeps its low bits
    EXPECT_EQ(LeadingInteger("-4294967295"), 1);
    EXPECT_EQ(LeadingInteger(std::string(5000, '9')) & 0xFF, 0xFF);  // ...999 = -1 mod 2^8
    EXPECT_EQ(LeadingReal("1.5abc"), 1.5);
    EXPECT_EQ(LeadingReal("x"), 0.0);
    EXPECT_EQ(LeadingReal(" -3e2e"), -300.0);
    EXPECT_EQ(LeadingReal("1e-999"), 0.0);
    EXPECT_EQ(LeadingReal("nan"), 0.0);
}

}  // namespace
}  // namespace quillmoor::ui
