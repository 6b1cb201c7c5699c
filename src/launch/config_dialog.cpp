#include "launch/config_dialog.h"

#include "resource.h"

namespace {

// A path field keeps at most this many characters; the one left in the buffer takes the trailing backslash.
constexpr int PATH_FIELD_LIMIT = PATH_TEXT_SIZE - 1;

void FillFields(HWND dialog, const ConfigValues& values) {
    SetDlgItemTextW(dialog, IDC_CONFIG_GAME_DIR, values.gameDir);
    SetDlgItemTextW(dialog, IDC_CONFIG_GAME_EXE, values.gameExe);
    SetDlgItemInt(dialog, IDC_CONFIG_QUERY_RATE, static_cast<UINT>(values.packetsPerSecond), TRUE);
    SetDlgItemInt(dialog, IDC_CONFIG_GOOD_PING, static_cast<UINT>(values.goodPing), TRUE);
    SetDlgItemInt(dialog, IDC_CONFIG_MEDIUM_PING, static_cast<UINT>(values.mediumPing), TRUE);
    SetDlgItemTextW(dialog, IDC_CONFIG_BUDDIES, values.buddyText ? values.buddyText : L"");
}

// Empty or not a number: 0, which the next start turns into the default.
int32_t ReadNumberField(HWND dialog, int id) {
    return static_cast<int32_t>(GetDlgItemInt(dialog, id, nullptr, TRUE));
}

// The buddy field's text in a new heap block; null when no memory is left for it.
wchar_t* ReadBuddyField(HWND dialog) {
    HWND field = GetDlgItem(dialog, IDC_CONFIG_BUDDIES);
    int length = GetWindowTextLengthW(field);
    auto* text = static_cast<wchar_t*>(
        HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, (static_cast<SIZE_T>(length) + 1) * sizeof(wchar_t)));
    if (text) {
        GetWindowTextW(field, text, length + 1);
        text[length] = 0;
    }
    return text;
}

void EndWithTrailingBackslash(wchar_t* path) {
    size_t length = wcslen(path);
    if (length > 0 && path[length - 1] != L'\\' && length + 1 < PATH_TEXT_SIZE) {
        path[length] = L'\\';
        path[length + 1] = 0;
    }
}

} // namespace

void RunConfigDialog(HWND owner, ConfigValues& values) {
    DialogBoxParamW(reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(owner, GWLP_HINSTANCE)), MAKEINTRESOURCEW(IDD_CONFIG),
                    owner, ConfigDlgProc, reinterpret_cast<LPARAM>(&values));
}

INT_PTR CALLBACK ConfigDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG:
        SetWindowLongPtrW(dialog, DWLP_USER, lParam);
        if (lParam) {
            FillFields(dialog, *reinterpret_cast<const ConfigValues*>(lParam));
        }
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) != IDOK) {
            return FALSE;
        }
        [[fallthrough]];
    case WM_CLOSE:
        if (auto* values = reinterpret_cast<ConfigValues*>(GetWindowLongPtrW(dialog, DWLP_USER))) {
            ReadConfigFields(dialog, *values);
        }
        EndDialog(dialog, 0);
        return TRUE;
    }
    return FALSE;
}

void ReadConfigFields(HWND dialog, ConfigValues& values) {
    ZeroMemory(values.gameDir, sizeof values.gameDir);
    ZeroMemory(values.gameExe, sizeof values.gameExe);
    GetDlgItemTextW(dialog, IDC_CONFIG_GAME_DIR, values.gameDir, PATH_FIELD_LIMIT);
    GetDlgItemTextW(dialog, IDC_CONFIG_GAME_EXE, values.gameExe, PATH_FIELD_LIMIT);
    EndWithTrailingBackslash(values.gameDir);

    values.packetsPerSecond = ReadNumberField(dialog, IDC_CONFIG_QUERY_RATE);
    values.goodPing = ReadNumberField(dialog, IDC_CONFIG_GOOD_PING);
    values.mediumPing = ReadNumberField(dialog, IDC_CONFIG_MEDIUM_PING);

    if (wchar_t* text = ReadBuddyField(dialog)) {
        values.buddyText = text;
    }
}
