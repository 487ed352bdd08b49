// The waveform and the phase figure drawn below the table field.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>

#include "ui/microsteps_table.h"

namespace quillmoor::ui {
namespace {

TEST(MicrostepGraphs, AreasAndPointsFollowTheIntegerLayout)
{
    const uint8_t table[4] = {40, 100, 255, 100};
    const MicrostepGraphs g = LayOutGraphs({0, 0, 200, 500}, 40, table, 4);
    EXPECT_EQ(g.square, (Rect{10, 305, 190, 495}));
    EXPECT_EQ(g.wave, (Rect{10, 45, 190, 295}));
    EXPECT_EQ(g.wavePoints, (std::vector<Point>{{10, 256}, {55, 197}, {100, 45}, {145, 197}, {190, 256}}));

    // Centre (100, 400), radius 85; the sample at n is still positive, the
    // rest of the period is negated and divisions truncate toward zero
    // (-8500 / 255 = -33).
    ASSERT_EQ(g.phasePoints.size(), 24u);
    EXPECT_EQ(g.phasePoints[0], (Point{100, 400}));
    EXPECT_EQ(g.phasePoints[1], (Point{113, 485}));
    EXPECT_EQ(g.phasePoints[2], (Point{133, 433}));
    EXPECT_EQ(g.phasePoints[11], (Point{113, 315}));
    EXPECT_EQ(g.phasePoints[16], (Point{67, 367}));
    EXPECT_EQ(g.phasePoints[17], (Point{15, 413}));

    // An inverted table draws the same figure but its own waveform.
    const uint8_t inverted[4] = {215, 155, 0, 155};
    const MicrostepGraphs gi = LayOutGraphs({0, 0, 200, 500}, 40, inverted, 4);
    EXPECT_EQ(gi.phasePoints, g.phasePoints);
    EXPECT_EQ(gi.wavePoints[0], (Point{10, 85}));
}

TEST(MicrostepGraphs, ASineTableDrawsACircle)
{
    MicrostepCurve curve{};
    GenerateCurve(CurveShape::Sin, 64, curve);
    uint8_t table[kMicrostepCapacity] = {};
    ShapeTable(curve, 64, 0.0, false, table);
    MirrorTable(table, 64);
    const MicrostepGraphs g = LayOutGraphs({0, 0, 400, 1000}, 0, table, 64);
    const int cx = 200, cy = 800, r = 185;
    ASSERT_EQ(g.phasePoints.size(), 6u * 64);
    for (size_t i = 1; i < g.phasePoints.size(); i += 3) {
        const double distance = std::hypot(g.phasePoints[i].x - cx, g.phasePoints[i].y - cy);
        EXPECT_NEAR(distance, r, 3.0) << i;
    }
}

TEST(MicrostepGraphs, NoEntriesOrAbsurdRectanglesDrawNothingWrong)
{
    const uint8_t table[kMicrostepCapacity] = {200, 255};
    const MicrostepGraphs empty = LayOutGraphs({0, 0, 100, 300}, 20, table, 0);
    EXPECT_TRUE(empty.wavePoints.empty() && empty.phasePoints.empty());
    EXPECT_EQ(empty.square, (Rect{10, 205, 90, 295}));
    const MicrostepGraphs huge = LayOutGraphs({INT_MIN, INT_MIN, INT_MAX, INT_MAX}, INT_MIN, table, 1000);
    EXPECT_EQ(huge.phasePoints.size(), 6u * kMicrostepCapacity);
}

}  // namespace
}  // namespace quillmoor::ui
