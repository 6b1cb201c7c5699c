#include "windows/dialogs/text_table.h"

#include <commctrl.h>

#include "core/display/dpi_scale.h"
#include "platform/win32/wide.h"
#include "windows/support/display_dpi.h"
#include "windows/views/list_item.h"

namespace {

void SetCell(HWND list, int row, int column, const std::u16string& text) {
    LVITEMW cell{};
    cell.iSubItem = column;
    cell.pszText = const_cast<wchar_t*>(AsWide(text.c_str()));
    SendMessageW(list, LVM_SETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&cell));
}

} // namespace

void FillTextTable(HWND list, const std::vector<TableColumn>& columns,
                   const std::vector<std::vector<std::u16string>>& rows) {
    SendMessageW(list, LVM_SETEXTENDEDLISTVIEWSTYLE, 0, LVS_EX_FULLROWSELECT);
    UINT dpi = WindowDpi(list);
    for (size_t i = 0; i < columns.size(); ++i) {
        InsertListColumn(list, static_cast<int>(i), columns[i].title, ScaleToDpi(columns[i].width, dpi));
    }
    for (size_t i = 0; i < rows.size(); ++i) {
        if (rows[i].empty()) {
            continue;
        }
        LVITEMW item{};
        item.mask = LVIF_TEXT;
        item.iItem = static_cast<int>(i);
        item.pszText = const_cast<wchar_t*>(AsWide(rows[i][0].c_str()));
        int row = static_cast<int>(SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
        if (row < 0) {
            return;
        }
        for (size_t column = 1; column < rows[i].size() && column < columns.size(); ++column) {
            SetCell(list, row, static_cast<int>(column), rows[i][column]);
        }
    }
}

void FitLastColumn(HWND list) {
    auto header = reinterpret_cast<HWND>(SendMessageW(list, LVM_GETHEADER, 0, 0));
    auto columns = static_cast<int>(SendMessageW(header, HDM_GETITEMCOUNT, 0, 0));
    if (columns > 0) {
        SendMessageW(list, LVM_SETCOLUMNWIDTH, columns - 1, MAKELPARAM(LVSCW_AUTOSIZE_USEHEADER, 0));
    }
}

INT_PTR TableDialogMessage(HWND dialog, int listId, UINT message, WPARAM wParam) {
    switch (message) {
    case WM_SIZE:
        FitLastColumn(GetDlgItem(dialog, listId));
        return FALSE;
    case WM_COMMAND:
        // Close is the cancel button, which Enter and Escape press too.
        return LOWORD(wParam) == IDCANCEL && EndDialog(dialog, 0);
    case WM_CLOSE:
        return EndDialog(dialog, 0);
    }
    return FALSE;
}
