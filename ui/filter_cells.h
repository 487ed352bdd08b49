// The filter table as the control dialog's list shows and edits it: the
// cells' texts, the column widths, where a click lands and what a finished
// cell edit stores.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "ui/geometry.h"

namespace quillmoor::ui {

inline constexpr int kCorrectionColumn = 2;
inline constexpr int kFocusShiftColumn = 3;
// A focus shift above this means the filter has none; the editor stores kNoFocusShift.
inline constexpr int32_t kFocusShiftLimit = 10000;
inline constexpr int32_t kNoFocusShift = 20000;
inline constexpr int kNumberColumnWidth = 40;

// Name, number, correction and focus shift columns: w, 40, w, w with
// w = (client width - 40) / 3.
int WideColumnWidth(int clientWidth);

// "none" above the limit, else the signed number.
std::string FocusShiftText(int32_t focuserPos);

// The value a closed cell editor stores: a leading signed number (0 without
// digits); in the focus shift column any "n" or "N" means no shift.
int32_t CellValue(std::string_view text, int column);

struct CellHit {
    int row;
    int column;  // kCorrectionColumn or kFocusShiftColumn
    bool operator==(const CellHit&) const = default;
};
// The bounds of the two editable cells of one row, in list coordinates.
struct RowCells {
    Rect correction;
    Rect focusShift;
};
// The first row whose correction or focus-shift cell holds the point. A
// point on an edge counts as inside at the left and top, outside at the
// right and bottom, as Windows hit tests go.
std::optional<CellHit> HitCell(Point point, const std::vector<RowCells>& rows);

// The editor over a cell: 5 pixels in at the left and the right.
Rect CellEditorRect(Rect cell);
// Its up-down control: the square at the editor's right end.
Rect CellSpinRect(Rect editor);

}  // namespace quillmoor::ui
