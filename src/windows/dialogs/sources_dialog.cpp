#include "windows/dialogs/sources_dialog.h"

#include "resource.h"
#include "windows/dialogs/about_box.h"
#include "windows/dialogs/text_table.h"
#include "windows/views/sizer.h"

namespace {

// The columns' widths at 96 DPI; "What it gave", the last, takes the rest of the list's width.
const std::vector<TableColumn> SOURCE_COLUMNS = {
    {L"Source", 150}, {L"Kind", 110}, {L"When", 60}, {L"What it gave", 150}};

// The list grows with the dialog, Close keeps to the corner.
const SizerAnchor SourcesAnchors[] = {
    {IDC_SOURCES_LIST, SIZER_GROW_X | SIZER_GROW_Y},
    {IDCANCEL, SIZER_MOVE_X | SIZER_MOVE_Y},
    {-1, SIZER_END_FLAGS},
};

void OnInitDialog(HWND dialog, const std::vector<SourceRow>& rows) {
    std::vector<std::vector<std::u16string>> cells;
    cells.reserve(rows.size());
    for (const SourceRow& row : rows) {
        cells.push_back({row.source, row.kind, row.when, row.gave});
    }
    HWND list = GetDlgItem(dialog, IDC_SOURCES_LIST);
    FillTextTable(list, SOURCE_COLUMNS, cells);
    SizerInstall(dialog, SourcesAnchors);
    FitLastColumn(list);
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
    if (message == WM_INITDIALOG) {
        if (lParam) {
            OnInitDialog(dialog, *reinterpret_cast<const std::vector<SourceRow>*>(lParam));
        }
        return TRUE;
    }
    return TableDialogMessage(dialog, IDC_SOURCES_LIST, message, wParam);
}
