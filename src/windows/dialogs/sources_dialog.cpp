#include "windows/dialogs/sources_dialog.h"

#include <commctrl.h>

#include "core/display/dpi_scale.h"
#include "resource.h"
#include "windows/dialogs/about_box.h"
#include "windows/platform/display_dpi.h"
#include "windows/platform/wide.h"
#include "windows/views/list_item.h"
#include "windows/views/sizer.h"

namespace {

// The columns' widths at 96 DPI; "What it gave", the last, takes the rest of the list's width.
constexpr int SOURCE_COLUMN_WIDTH = 150;
constexpr int KIND_COLUMN_WIDTH = 110;
constexpr int WHEN_COLUMN_WIDTH = 60;

// The list grows with the dialog, Close keeps to the corner.
const SizerAnchor SourcesAnchors[] = {
    {IDC_SOURCES_LIST, SIZER_GROW_X | SIZER_GROW_Y},
    {IDCANCEL, SIZER_MOVE_X | SIZER_MOVE_Y},
    {-1, SIZER_END_FLAGS},
};

void SetCell(HWND list, int row, int column, const std::u16string& text) {
    LVITEMW cell{};
    cell.iSubItem = column;
    cell.pszText = const_cast<wchar_t*>(AsWide(text.c_str()));
    SendMessageW(list, LVM_SETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&cell));
}

void FitGaveColumn(HWND dialog) {
    SendMessageW(GetDlgItem(dialog, IDC_SOURCES_LIST), LVM_SETCOLUMNWIDTH, 3, MAKELPARAM(LVSCW_AUTOSIZE_USEHEADER, 0));
}

void OnInitDialog(HWND dialog, const std::vector<SourceRow>& rows) {
    HWND list = GetDlgItem(dialog, IDC_SOURCES_LIST);
    SendMessageW(list, LVM_SETEXTENDEDLISTVIEWSTYLE, 0, LVS_EX_FULLROWSELECT);
    UINT dpi = WindowDpi(list);
    InsertListColumn(list, 0, L"Source", ScaleToDpi(SOURCE_COLUMN_WIDTH, dpi));
    InsertListColumn(list, 1, L"Kind", ScaleToDpi(KIND_COLUMN_WIDTH, dpi));
    InsertListColumn(list, 2, L"When", ScaleToDpi(WHEN_COLUMN_WIDTH, dpi));
    InsertListColumn(list, 3, L"What it gave", ScaleToDpi(SOURCE_COLUMN_WIDTH, dpi));
    for (size_t i = 0; i < rows.size(); ++i) {
        LVITEMW item{};
        item.mask = LVIF_TEXT;
        item.iItem = static_cast<int>(i);
        item.pszText = const_cast<wchar_t*>(AsWide(rows[i].source.c_str()));
        int row = static_cast<int>(SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
        if (row < 0) {
            break;
        }
        SetCell(list, row, 1, rows[i].kind);
        SetCell(list, row, 2, rows[i].when);
        SetCell(list, row, 3, rows[i].gave);
    }
    SizerInstall(dialog, SourcesAnchors);
    FitGaveColumn(dialog);
}

} // namespace

void AddSourcesItem(HWND window) {
    if (HMENU menu = GetSystemMenu(window, FALSE)) {
        InsertMenuW(menu, SYSTEM_MENU_ABOUT, MF_BYCOMMAND | MF_STRING, SYSTEM_MENU_SOURCES, L"Sources...");
    }
}

void RunSourcesDialog(HWND owner, const std::vector<SourceRow>& rows) {
    DialogBoxParamW(reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(owner, GWLP_HINSTANCE)),
                    MAKEINTRESOURCEW(IDD_SOURCES), owner, SourcesDlgProc, reinterpret_cast<LPARAM>(&rows));
}

INT_PTR CALLBACK SourcesDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG:
        if (lParam) {
            OnInitDialog(dialog, *reinterpret_cast<const std::vector<SourceRow>*>(lParam));
        }
        return TRUE;
    case WM_SIZE:
        FitGaveColumn(dialog);
        return FALSE;
    case WM_COMMAND:
        // Close is the cancel button, which Enter and Escape press too.
        return LOWORD(wParam) == IDCANCEL && EndDialog(dialog, 0);
    case WM_CLOSE:
        return EndDialog(dialog, 0);
    }
    return FALSE;
}
