// The filter table: its texts, its column widths, where a click lands and
// what a closed cell editor stores.
#include <gtest/gtest.h>

#include <climits>

#include "ui/filter_cells.h"

namespace quillmoor::ui {
namespace {

TEST(FilterCells, ColumnsAndFocusShiftTexts)
{
    EXPECT_EQ(WideColumnWidth(340), 100);
    EXPECT_EQ(WideColumnWidth(342), 100);
    EXPECT_EQ(WideColumnWidth(30), 0);  // never a negative width, which the list would read as "fit"
    EXPECT_EQ(WideColumnWidth(INT_MIN), 0);

    EXPECT_EQ(FocusShiftText(10000), "10000");
    EXPECT_EQ(FocusShiftText(10001), "none");
    EXPECT_EQ(FocusShiftText(-25), "-25");
}

TEST(FilterCells, EditedTextsBecomeLeadingNumbersOrNoShift)
{
    EXPECT_EQ(CellValue("none", kFocusShiftColumn), kNoFocusShift);
    EXPECT_EQ(CellValue("n5", kFocusShiftColumn), kNoFocusShift);
    EXPECT_EQ(CellValue("12N", kFocusShiftColumn), kNoFocusShift);
    EXPECT_EQ(CellValue(" 150", kFocusShiftColumn), 150);
    EXPECT_EQ(CellValue("n", kCorrectionColumn), 0);  // only the focus shift knows "none"
    EXPECT_EQ(CellValue("abc", kCorrectionColumn), 0);
    EXPECT_EQ(CellValue("-12x", kCorrectionColumn), -12);
    EXPECT_EQ(CellValue("", kCorrectionColumn), 0);
}

TEST(FilterCells, AClickOpensTheFirstEditableCellThatHoldsIt)
{
    const std::vector<RowCells> rows = {
        {{100, 0, 200, 16}, {200, 0, 300, 16}},
        {{100, 16, 200, 32}, {200, 16, 300, 32}},
        {{100, 16, 200, 32}, {200, 16, 300, 32}},  // overlaps row 1
    };
    EXPECT_EQ(HitCell({100, 0}, rows), (CellHit{0, kCorrectionColumn}));
    EXPECT_EQ(HitCell({199, 15}, rows), (CellHit{0, kCorrectionColumn}));
    EXPECT_EQ(HitCell({200, 15}, rows), (CellHit{0, kFocusShiftColumn}));
    EXPECT_EQ(HitCell({250, 16}, rows), (CellHit{1, kFocusShiftColumn}));
    for (Point miss : {Point{50, 5}, Point{99, 20}, Point{300, 5}, Point{150, 32}, Point{150, -1}}) {
        EXPECT_EQ(HitCell(miss, rows), std::nullopt) << miss.x << "," << miss.y;
    }
    EXPECT_EQ(HitCell({150, 5}, {}), std::nullopt);
}

TEST(FilterCells, TheEditorSitsInsideTheCellWithItsArrowsAtTheRight)
{
    const Rect editor = CellEditorRect({100, 16, 200, 32});
    EXPECT_EQ(editor, (Rect{105, 16, 195, 32}));
    EXPECT_EQ(CellSpinRect(editor), (Rect{179, 16, 195, 32}));

    // Whatever the list reports, the arithmetic stays within int.
    EXPECT_EQ(CellEditorRect({INT_MAX, 0, INT_MIN, 0}), (Rect{INT_MAX, 0, INT_MIN, 0}));
    EXPECT_EQ(CellSpinRect({0, INT_MIN, 0, INT_MAX}).left, INT_MIN);
    EXPECT_EQ(CellSpinRect({0, INT_MAX, INT_MAX, INT_MIN}).left, INT_MAX);
}

}  // namespace
}  // namespace quillmoor::ui
