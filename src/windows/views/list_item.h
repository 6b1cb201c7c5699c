// Reading a list view row's item data, shared by the views. Win32 side.
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
