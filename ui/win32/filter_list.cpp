// The filter table in the control dialog's list: one row per filter with its
// name, number, correction and focus shift, the current filter marked by its
// icon. Names are edited by the list itself; the two numbers by a small
// editor with arrows that opens over the clicked cell. Every change goes to
// the board at once.
#include <windows.h>
#include <commctrl.h>

#include <utility>

#include "ui/filter_cells.h"
#include "ui/win32/control_dlg.h"
#include "ui/win32/control_ids.h"

namespace quillmoor::ui {

using namespace control_ids;

namespace {

constexpr int kOtherFilterIcon = 0;
constexpr int kCurrentFilterIcon = 1;
constexpr int kCellRange = 1000;

Rect ToRect(const RECT& r) { return {r.left, r.top, r.right, r.bottom}; }

}  // namespace

void CControlDlg::SetUpFilterColumns()
{
    FilterList.DeleteAllColumns();
    const int wide = WideColumnWidth(FilterList.ClientWidth());
    FilterList.AddColumn(0, L"Name", wide);
    FilterList.AddColumn(1, L"#", kNumberColumnWidth);
    FilterList.AddColumn(kCorrectionColumn, L"Correction", wide);
    FilterList.AddColumn(kFocusShiftColumn, L"Focus Shift", wide);
}

void CControlDlg::FillFilterList()
{
    FilterList.DeleteAll();
    const std::vector<FilterSlot> slots = Device->Filters.Snapshot();
    for (int row = 0; row < static_cast<int>(slots.size()); ++row) {
        const FilterSlot& slot = slots[static_cast<size_t>(row)];
        FilterList.AddRow(row, Widen(slot.Name), row == Device->CurrentFilter ? kCurrentFilterIcon : kOtherFilterIcon);
        FilterList.SetText(row, 1, std::to_wstring(row));
        FilterList.SetText(row, kCorrectionColumn, std::to_wstring(slot.Pos));
        FilterList.SetText(row, kFocusShiftColumn, Widen(FocusShiftText(slot.FocuserPos)));
    }
}

void CControlDlg::RefreshFilterIcons()
{
    ShownFilter = Device->CurrentFilter;
    for (int row = 0; row < FilterList.Count(); ++row)
        FilterList.SetImage(row, row == ShownFilter ? kCurrentFilterIcon : kOtherFilterIcon);
}

bool CControlDlg::BeginCellEdit(POINT point)
{
    std::vector<RowCells> rows;
    const int count = static_cast<int>(Device->Filters.Size());
    for (int row = 0; row < count; ++row) {
        rows.push_back({ToRect(FilterList.CellBounds(row, kCorrectionColumn)),
                        ToRect(FilterList.CellBounds(row, kFocusShiftColumn))});
    }
    const auto hit = HitCell({point.x, point.y}, rows);
    if (!hit) return false;
    CommitCellEdit();  // an editor open elsewhere stores its value first
    EditRow = hit->row;
    EditColumn = hit->column;

    const RECT cell = FilterList.CellBounds(EditRow, EditColumn);
    const Rect editor = CellEditorRect(ToRect(cell));
    const Rect spin = CellSpinRect(editor);
    const HINSTANCE module = ThisModule();
    CellEdit = CreateWindowExW(WS_EX_STATICEDGE, L"EDIT", L"", WS_CHILD | WS_VISIBLE, editor.left, editor.top,
                               editor.right - editor.left, editor.bottom - editor.top, FilterList.hwnd,
                               reinterpret_cast<HMENU>(static_cast<INT_PTR>(kCellEdit)), module, nullptr);
    CellSpin = CreateWindowExW(0, UPDOWN_CLASSW, L"", WS_CHILD | WS_VISIBLE | UDS_ARROWKEYS | UDS_ALIGNRIGHT | UDS_SETBUDDYINT | UDS_NOTHOUSANDS,
                               spin.left, spin.top, spin.right - spin.left, spin.bottom - spin.top, FilterList.hwnd,
                               reinterpret_cast<HMENU>(static_cast<INT_PTR>(kCellSpin)), module, nullptr);
    SendMessageW(CellSpin, UDM_SETBUDDY, reinterpret_cast<WPARAM>(CellEdit), 0);
    SendMessageW(CellSpin, UDM_SETRANGE32, -kCellRange, kCellRange);
    SendMessageW(CellEdit, WM_SETFONT, SendMessageW(FilterList.hwnd, WM_GETFONT, 0, 0), TRUE);
    SetWindowTextW(CellEdit, FilterList.Text(EditRow, EditColumn).c_str());
    SetFocus(CellEdit);
    return true;
}

void CControlDlg::CommitCellEdit()
{
    if (!CellEdit) return;
    // The members are cleared first: destroying the focused editor sends
    // focus notifications, and nothing may find it half closed.
    const HWND edit = std::exchange(CellEdit, nullptr);
    DestroyWindow(std::exchange(CellSpin, nullptr));
    wchar_t text[64] = {};
    GetWindowTextW(edit, text, 64);
    DestroyWindow(edit);

    const int32_t value = CellValue(Narrow(text), EditColumn);
    bool changed = false;
    Device->Filters.Update(static_cast<size_t>(EditRow), [&](FilterSlot& slot) {
        int32_t& field = EditColumn == kCorrectionColumn ? slot.Pos : slot.FocuserPos;
        changed = field != value;
        field = value;
    });
    if (!changed) return;
    FillFilterList();
    Device->WriteConfig();
    // The wheel takes up the current filter again with its new correction.
    if (EditColumn == kCorrectionColumn && EditRow == Device->CurrentFilter) Device->GotoFilter(EditRow);
}

LRESULT CControlDlg::OnListClick(NMHDR& header)
{
    BeginCellEdit(reinterpret_cast<NMITEMACTIVATE&>(header).ptAction);
    return 0;
}

LRESULT CControlDlg::OnListDblClick(NMHDR& header)
{
    const auto& activate = reinterpret_cast<NMITEMACTIVATE&>(header);
    WaitCursor wait;
    if (activate.iItem < 0) {
        BeginCellEdit(activate.ptAction);
    } else if (Device->GotoFilter(activate.iItem)) {
        RefreshFilterIcons();
    }
    return 0;
}

LRESULT CControlDlg::OnListEndLabelEdit(NMHDR& header)
{
    const LVITEMW& item = reinterpret_cast<NMLVDISPINFOW&>(header).item;
    if (!item.pszText) return 0;  // the edit was cancelled
    Device->WriteFilterName(item.iItem, Narrow(item.pszText).c_str());
    // The list's own acceptance is declined; the row shows the whole typed text.
    FilterList.SetText(item.iItem, 0, item.pszText);
    return 0;
}

}  // namespace quillmoor::ui
