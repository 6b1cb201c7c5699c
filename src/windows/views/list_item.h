// Making a list view's columns and reading its rows, shared by the views. Win32 side.
#pragma once

#include <windows.h>
#include <commctrl.h>

// The row's item data; false, leaving `data` as it was, when the list has no such row.
inline bool ReadListItemData(HWND list, int row, LPARAM& data) {
    LVITEMW item{};
    item.mask = LVIF_PARAM;
    item.iItem = row;
    if (!SendMessageW(list, LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item))) {
        return false;
    }
    data = item.lParam;
    return true;
}

// The selected row of a single-selection list, or -1. It is nearly always the focused row; asking the list for the
// selected row otherwise walks every row before it.
inline int SelectedListRow(HWND list) {
    auto focused = static_cast<int>(SendMessageW(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_FOCUSED));
    if (focused >= 0 && SendMessageW(list, LVM_GETITEMSTATE, focused, LVIS_SELECTED) != 0) {
        return focused;
    }
    if (SendMessageW(list, LVM_GETSELECTEDCOUNT, 0, 0) == 0) {
        return -1;
    }
    return static_cast<int>(SendMessageW(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
}

// Inserts a left-aligned column of that title and width at `index`; false when the list refuses it.
inline bool InsertListColumn(HWND list, int index, const wchar_t* title, int width) {
    LVCOLUMNW column{};
    column.mask = LVCF_FMT | LVCF_TEXT | LVCF_SUBITEM | LVCF_WIDTH;
    column.fmt = LVCFMT_LEFT;
    column.pszText = const_cast<wchar_t*>(title);
    column.iSubItem = index;
    column.cx = width;
    return SendMessageW(list, LVM_INSERTCOLUMNW, index, reinterpret_cast<LPARAM>(&column)) != -1;
}
