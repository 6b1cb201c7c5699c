#include "launch/config_dialog.h"

#include "app/app_state.h"

#include <commctrl.h>

#include <initializer_list>

#include "resource.h"
#include "ui/views/buddy_highlight.h"

namespace {

// A path field keeps at most this many characters; the one left in gameDir's buffer takes the trailing backslash.
constexpr int PATH_FIELD_LIMIT = PATH_TEXT_SIZE - 1;

void FillFields(HWND dialog) {
    SetDlgItemTextW(dialog, IDC_CONFIG_GAME_DIR, app.gameDir);
    SetDlgItemTextW(dialog, IDC_CONFIG_GAME_EXE, app.gameExe);
    SetDlgItemInt(dialog, IDC_CONFIG_QUERY_RATE, static_cast<UINT>(app.packetsPerSecond), TRUE);
    SetDlgItemInt(dialog, IDC_CONFIG_GOOD_PING, static_cast<UINT>(app.goodPing), TRUE);
    SetDlgItemInt(dialog, IDC_CONFIG_MEDIUM_PING, static_cast<UINT>(app.mediumPing), TRUE);
    SetDlgItemTextW(dialog, IDC_CONFIG_BUDDIES, app.buddyText ? app.buddyText : L"");
}

// Empty or not a number: 0, which the next start turns into the default.
int32_t ReadNumberField(HWND dialog, int id) {
    return static_cast<int32_t>(GetDlgItemInt(dialog, id, nullptr, TRUE));
}

// The buddy field's text whole, line breaks included. If no memory is left the old text stays.
void TakeBuddyText(HWND dialog) {
    HWND field = GetDlgItem(dialog, IDC_CONFIG_BUDDIES);
    int length = GetWindowTextLengthW(field);
    auto* text = static_cast<wchar_t*>(
        HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, (static_cast<SIZE_T>(length) + 1) * sizeof(wchar_t)));
    if (!text) {
        return;
    }
    GetWindowTextW(field, text, length + 1);
    text[length] = 0;
    if (app.buddyText) {
        HeapFree(GetProcessHeap(), 0, app.buddyText);
    }
    app.buddyText = text;
}

// Both lists repainted now, so rows of new buddies are yellow as soon as the dialog has gone.
void RepaintLists() {
    for (HWND list : {app.hServerList, app.hPlayerList}) {
        LPARAM count = SendMessageW(list, LVM_GETITEMCOUNT, 0, 0);
        SendMessageW(list, LVM_REDRAWITEMS, 0, count);
    }
    UpdateWindow(app.hServerList);
    UpdateWindow(app.hPlayerList);
}

void EndWithTrailingBackslash(wchar_t* path) {
    size_t length = wcslen(path);
    if (length > 0 && path[length - 1] != L'\\' && length + 1 < PATH_TEXT_SIZE) {
        path[length] = L'\\';
        path[length + 1] = 0;
    }
}

} // namespace

void RunConfigDialog() {
    DialogBoxParamW(app.hInstance, MAKEINTRESOURCEW(IDD_CONFIG), app.hMainDlg, ConfigDlgProc, 0);
}

INT_PTR CALLBACK ConfigDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG:
        FillFields(dialog);
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) != IDOK) {
            return FALSE;
        }
        [[fallthrough]];
    case WM_CLOSE:
        ApplyConfig(dialog);
        EndDialog(dialog, 0);
        return TRUE;
    }
    return FALSE;
}

void ApplyConfig(HWND dialog) {
    ZeroMemory(app.gameDir, sizeof app.gameDir);
    ZeroMemory(app.gameExe, sizeof app.gameExe);
    GetDlgItemTextW(dialog, IDC_CONFIG_GAME_DIR, app.gameDir, PATH_FIELD_LIMIT);
    GetDlgItemTextW(dialog, IDC_CONFIG_GAME_EXE, app.gameExe, PATH_FIELD_LIMIT);

    app.packetsPerSecond = ReadNumberField(dialog, IDC_CONFIG_QUERY_RATE);
    app.goodPing = ReadNumberField(dialog, IDC_CONFIG_GOOD_PING);
    app.mediumPing = ReadNumberField(dialog, IDC_CONFIG_MEDIUM_PING);

    TakeBuddyText(dialog);
    ParseBuddyList();
    RepaintLists();

    EndWithTrailingBackslash(app.gameDir);
}
