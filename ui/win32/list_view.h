// The report-view list of the control dialog: a handle and the list-view
// messages the filter table needs.
#pragma once

#include "ui/win32/dialog.h"

namespace quillmoor::ui {

struct ListView : Control {
    int Count() const { return static_cast<int>(SendMessageW(hwnd, LVM_GETITEMCOUNT, 0, 0)); }
    void DeleteAll() const { SendMessageW(hwnd, LVM_DELETEALLITEMS, 0, 0); }
    void DeleteAllColumns() const
    {
        while (SendMessageW(hwnd, LVM_DELETECOLUMN, 0, 0)) {
        }
    }
    void AddColumn(int index, const wchar_t* header, int width) const
    {
        LVCOLUMNW column = {};
        column.mask = LVCF_FMT | LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
        column.fmt = LVCFMT_LEFT;
        column.cx = width;
        column.pszText = const_cast<wchar_t*>(header);
        column.iSubItem = index;
        SendMessageW(hwnd, LVM_INSERTCOLUMNW, index, reinterpret_cast<LPARAM>(&column));
    }
    void AddRow(int row, const std::wstring& text, int image) const
    {
        LVITEMW item = {};
        item.mask = LVIF_TEXT | LVIF_IMAGE;
        item.iItem = row;
        item.pszText = const_cast<wchar_t*>(text.c_str());
        item.iImage = image;
        SendMessageW(hwnd, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
    }
    void SetText(int row, int column, const std::wstring& text) const
    {
        LVITEMW item = {};
        item.iSubItem = column;
        item.pszText = const_cast<wchar_t*>(text.c_str());
        SendMessageW(hwnd, LVM_SETITEMTEXTW, row, reinterpret_cast<LPARAM>(&item));
    }
    std::wstring Text(int row, int column) const
    {
        wchar_t text[64] = {};
        LVITEMW item = {};
        item.iSubItem = column;
        item.pszText = text;
        item.cchTextMax = 64;
        SendMessageW(hwnd, LVM_GETITEMTEXTW, row, reinterpret_cast<LPARAM>(&item));
        return text;
    }
    void SetImage(int row, int image) const
    {
        LVITEMW item = {};
        item.mask = LVIF_IMAGE;
        item.iItem = row;
        item.iImage = image;
        SendMessageW(hwnd, LVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&item));
    }
    RECT CellBounds(int row, int column) const
    {
        RECT bounds = {};
        bounds.top = column;
        bounds.left = LVIR_BOUNDS;
        SendMessageW(hwnd, LVM_GETSUBITEMRECT, row, reinterpret_cast<LPARAM>(&bounds));
        return bounds;
    }
    int ClientWidth() const
    {
        RECT client;
        GetClientRect(hwnd, &client);
        return client.right - client.left;
    }
};

}  // namespace quillmoor::ui
