#include "ui/filter_cells.h"

#include <algorithm>
#include <limits>

#include "ui/text_numbers.h"

namespace quillmoor::ui {
namespace {

constexpr int kEditorInset = 5;

// Windows' rule: the left and top edges are inside, the right and bottom ones outside.
bool Holds(const Rect& rect, Point point)
{
    return point.x >= rect.left && point.x < rect.right && point.y >= rect.top && point.y < rect.bottom;
}

}  // namespace

int WideColumnWidth(int clientWidth)
{
    // Never negative: the list takes -1 and -2 as "size to fit" requests.
    return std::max(0, ToPixel((int64_t{clientWidth} - kNumberColumnWidth) / 3));
}

std::string FocusShiftText(int32_t focuserPos)
{
    return focuserPos > kFocusShiftLimit ? "none" : std::to_string(focuserPos);
}

int32_t CellValue(std::string_view text, int column)
{
    // "none" as shown, and whatever the user made of it, still means no shift.
    if (column == kFocusShiftColumn && text.find_first_of("nN") != std::string_view::npos) {
        return kNoFocusShift;
    }
    return LeadingInteger(text);
}

std::optional<CellHit> HitCell(Point point, const std::vector<RowCells>& rows)
{
    for (size_t i = 0; i < rows.size(); ++i) {
        const int row = static_cast<int>(i);
        if (Holds(rows[i].correction, point)) return CellHit{row, kCorrectionColumn};
        if (Holds(rows[i].focusShift, point)) return CellHit{row, kFocusShiftColumn};
    }
    return std::nullopt;
}

Rect CellEditorRect(Rect cell)
{
    return {ToPixel(int64_t{cell.left} + kEditorInset), cell.top, ToPixel(int64_t{cell.right} - kEditorInset),
            cell.bottom};
}

Rect CellSpinRect(Rect editor)
{
    const int64_t height = int64_t{editor.bottom} - editor.top;
    return {ToPixel(editor.right - height), editor.top, editor.right, editor.bottom};
}

}  // namespace quillmoor::ui
