// The microstep table: curves, Pow shaping, inversion and the typed text.
#include <gtest/gtest.h>

#include <limits>

#include "ui/microsteps_table.h"

namespace quillmoor::ui {
namespace {

using Table = std::array<uint8_t, kMicrostepCapacity>;
using Bytes = std::vector<int>;

Table Generated(CurveShape shape, int n, double pow, bool inverse = false)
{
    MicrostepCurve curve{};
    GenerateCurve(shape, n, curve);
    Table table{};
    ShapeTable(curve, n, pow, inverse, table.data());
    MirrorTable(table.data(), n);
    return table;
}

Bytes Slice(const Table& table, int from, int to)
{
    return Bytes(table.begin() + from, table.begin() + to);
}

TEST(MicrostepTable, SineTablesForPowOneAndZeroAndInverted)
{
    const Bytes pow1 = {0,   13,  27,  40,  54,  66,  79,  91,  103, 115, 126, 137, 148, 158, 167, 177, 185,
                        194, 201, 209, 215, 222, 227, 233, 237, 241, 245, 248, 251, 252, 254, 255, 255};
    const Table shaped = Generated(CurveShape::Sin, 64, 1.0);
    EXPECT_EQ(Slice(shaped, 0, 33), pow1);
    for (int i = 33; i < 64; ++i) EXPECT_EQ(shaped[i], shaped[64 - i]) << i;
    std::string text;
    for (int b : pow1) text += std::to_string(b) + " ";
    EXPECT_EQ(TableToText(shaped.data(), 64), text);

    const Table linear = Generated(CurveShape::Sin, 64, 0.0);
    EXPECT_EQ(Slice(linear, 0, 5), (Bytes{0, 12, 25, 37, 49}));
    EXPECT_EQ(Slice(linear, 30, 33), (Bytes{254, 255, 255}));
    const Table inverted = Generated(CurveShape::Sin, 64, 0.0, true);
    for (int i = 0; i < 64; ++i) EXPECT_EQ(inverted[i], 255 - linear[i]) << i;
}

TEST(MicrostepTable, PowBendsTheMiddleAndKeepsBothEnds)
{
    int previousMiddle = -1;
    for (double pow : {-50.0, -5.0, 0.0, 5.0, 50.0}) {
        const Table table = Generated(CurveShape::Sin, 64, pow);
        EXPECT_EQ(table[0], 0) << pow;
        EXPECT_GE(table[32], 254) << pow;
        EXPECT_GT(table[16], previousMiddle) << pow;
        previousMiddle = table[16];
    }
}

TEST(MicrostepTable, TangentHoldsOneFromAQuarterAndTheThirdHarmonicStaysInRange)
{
    MicrostepCurve curve{};
    GenerateCurve(CurveShape::Tan, 64, curve);
    EXPECT_NEAR(curve[16], 1.0f, 1e-7f);
    for (int i = 1; i < 16; ++i) EXPECT_LT(curve[i - 1], curve[i]) << i;
    for (int i = 17; i <= 47; ++i) EXPECT_EQ(curve[i], 1.0f) << i;
    EXPECT_EQ(Generated(CurveShape::Tan, 64, 1.0)[16], 255);
    // At n = 48 the float step puts the last angle just past a right angle.
    EXPECT_EQ(Generated(CurveShape::Tan, 48, 1.0)[24], 255);

    // An odd table: the tangent leaves its last entry alone, the sine fills it.
    curve[64] = 0.25f;
    GenerateCurve(CurveShape::Tan, 65, curve);
    EXPECT_EQ(curve[64], 0.25f);
    GenerateCurve(CurveShape::SinSin3, 65, curve);
    for (int i = 0; i < 65; ++i) EXPECT_TRUE(curve[i] >= 0.0f && curve[i] <= 1.0000001f) << i;
    EXPECT_GT(curve[16], 0.8f);  // fuller than a sine's 0.71 at a quarter
}

TEST(MicrostepTable, HostilePowsCurvesAndLengthsStillGiveBytes)
{
    constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
    for (double pow : {1e300, -1e300, 700.0, kNaN, std::numeric_limits<double>::infinity()}) {
        EXPECT_EQ(Generated(CurveShape::SinSin3, 64, pow)[0], 0) << pow;
    }
    MicrostepCurve odd{0.0f, static_cast<float>(kNaN), -std::numeric_limits<float>::infinity(), 1e30f};
    Table table{};
    ShapeTable(odd, 4, 1.0, false, table.data());
    EXPECT_EQ(Slice(table, 0, 4), (Bytes{0, 0, 0, 255}));

    for (int n : {1, 0, -5, 1000, std::numeric_limits<int>::min()}) {
        EXPECT_EQ(Generated(CurveShape::Tan, n, 1.0)[0], 0) << n;  // n < 2: a flat curve
        TextToTable("1 2 3", n, table.data());
        InvertTable(table.data(), n);
        EXPECT_LE(TableToText(table.data(), n).size(), 65u * 4);
    }
}

TEST(MicrostepTable, TypedTextFillsTheFirstHalfAndTheMirror)
{
    Table table;
    table.fill(7);
    TextToTable("10 20  30", 64, table.data());
    EXPECT_EQ(Slice(table, 0, 4), (Bytes{10, 20, 30, 7}));
    EXPECT_EQ(Slice(table, 62, 64), (Bytes{30, 20}));

    TextToTable("  256 -1 5\t7 x 300", 64, table.data());
    EXPECT_EQ(Slice(table, 0, 6), (Bytes{0, 255, 5, 0, 44, 7}));

    // Only h + 1 numbers count, and nothing mirrors into an odd table's last entry.
    TextToTable("1 2 3 4 5", 4, table.data());
    EXPECT_EQ(Slice(table, 0, 5), (Bytes{1, 2, 3, 2, 44}));
    TextToTable("9 8 7", 5, table.data());
    EXPECT_EQ(Slice(table, 0, 5), (Bytes{9, 8, 7, 8, 44}));
}

}  // namespace
}  // namespace quillmoor::ui
