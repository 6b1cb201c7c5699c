#include "windows/dialogs/config_dialog.h"

#include <algorithm>
#include <string>
#include <vector>

#include "platform/win32/wide.h"
#include "resource.h"

namespace {

// A path field keeps at most this many characters; the one left in the buffer takes the trailing backslash.
constexpr int PATH_FIELD_LIMIT = PATH_TEXT_SIZE - 1;
// Said after a line that is no master: how each kind of line is asked.
constexpr const wchar_t* MASTER_FORMS = L"Each line is one of:\n\n"
                                        L"http://HOST[:PORT]\n"
                                        L"        a master web service, asked per mod\n"
                                        L"http://HOST[:PORT]/PATH[?QUERY]\n"
                                        L"        a list of servers, fetched as written\n"
                                        L"HOST[:PORT]\n"
                                        L"        a classic master, asked over UDP";

void FillFields(HWND dialog, const Configuration& config) {
    SetDlgItemTextW(dialog, IDC_CONFIG_GAME_DIR, AsWide(config.gameDir));
    SetDlgItemTextW(dialog, IDC_CONFIG_GAME_EXE, AsWide(config.gameExe));
    SetDlgItemInt(dialog, IDC_CONFIG_QUERY_RATE, static_cast<UINT>(config.packetsPerSecond), TRUE);
    SetDlgItemInt(dialog, IDC_CONFIG_GOOD_PING, static_cast<UINT>(config.goodPing), TRUE);
    SetDlgItemInt(dialog, IDC_CONFIG_MEDIUM_PING, static_cast<UINT>(config.mediumPing), TRUE);
    SetDlgItemTextW(dialog, IDC_CONFIG_BUDDIES, AsWide(config.buddyText.c_str()));
    SetDlgItemTextW(dialog, IDC_CONFIG_MASTERS, AsWide(FormatMasterListText(MastersToAsk(config)).c_str()));
    CheckDlgButton(dialog, IDC_CONFIG_SEARCH_LAN, config.searchLan ? BST_CHECKED : BST_UNCHECKED);
    // Never: an empty field.
    if (config.refreshMinutes > 0) {
        SetDlgItemInt(dialog, IDC_CONFIG_REFRESH, static_cast<UINT>(config.refreshMinutes), FALSE);
    }
    CheckDlgButton(dialog, IDC_CONFIG_KEEP_IN_TRAY, config.keepInTray ? BST_CHECKED : BST_UNCHECKED);
    CheckDlgButton(dialog, IDC_CONFIG_BUDDY_ALERTS, config.buddyAlerts ? BST_CHECKED : BST_UNCHECKED);
    CheckDlgButton(dialog, IDC_CONFIG_KEEP_HISTORY, config.keepHistory ? BST_CHECKED : BST_UNCHECKED);
}

// Empty or not a number: 0, which validation turns into the default.
int32_t ReadNumberField(HWND dialog, int id) {
    return static_cast<int32_t>(GetDlgItemInt(dialog, id, nullptr, TRUE));
}

// A multi-line field's whole text.
std::u16string ReadLongField(HWND dialog, int id) {
    HWND field = GetDlgItem(dialog, id);
    int length = GetWindowTextLengthW(field);
    std::vector<wchar_t> text(static_cast<size_t>(length) + 1, 0);
    GetWindowTextW(field, text.data(), length + 1);
    return AsU16(text.data());
}

void EndWithTrailingBackslash(char16_t* path) {
    size_t length = std::char_traits<char16_t>::length(path);
    if (length > 0 && path[length - 1] != u'\\' && length + 1 < PATH_TEXT_SIZE) {
        path[length] = u'\\';
        path[length + 1] = 0;
    }
}

// The user's list as the configuration keeps it: none while it is the build's default, so that the value stays
// unstored and a later build's default applies.
std::vector<MasterEntry> MastersToKeep(const std::vector<MasterEntry>& entries) {
    std::vector<MasterEntry> defaults = DefaultMasters();
    bool same = std::equal(entries.begin(), entries.end(), defaults.begin(), defaults.end(), IsSameMaster);
    return same ? std::vector<MasterEntry>() : entries;
}

// OK, Enter and the close box: the dialog ends only once its fields have been read back. Returns TRUE: handled.
BOOL OnOk(HWND dialog) {
    auto* config = reinterpret_cast<Configuration*>(GetWindowLongPtrW(dialog, DWLP_USER));
    std::u16string error;
    if (config && !ReadConfigFields(dialog, *config, &error)) {
        std::wstring text = std::wstring(AsWide(error.c_str())) + L"\n\n" + MASTER_FORMS;
        MessageBoxW(dialog, text.c_str(), L"Master Servers", MB_OK | MB_ICONWARNING);
        SendMessageW(dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(GetDlgItem(dialog, IDC_CONFIG_MASTERS)), TRUE);
        return TRUE;
    }
    EndDialog(dialog, 0);
    return TRUE;
}

} // namespace

void RunConfigDialog(HWND owner, Configuration& config) {
    DialogBoxParamW(reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(owner, GWLP_HINSTANCE)), MAKEINTRESOURCEW(IDD_CONFIG),
                    owner, ConfigDlgProc, reinterpret_cast<LPARAM>(&config));
}

INT_PTR CALLBACK ConfigDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG:
        SetWindowLongPtrW(dialog, DWLP_USER, lParam);
        if (lParam) {
            FillFields(dialog, *reinterpret_cast<const Configuration*>(lParam));
        }
        return TRUE;
    case WM_COMMAND:
        // Enter in a single-line field comes as IDOK too; Escape's IDCANCEL does nothing.
        return LOWORD(wParam) == IDOK && OnOk(dialog);
    case WM_CLOSE:
        return OnOk(dialog);
    }
    return FALSE;
}

bool ReadConfigFields(HWND dialog, Configuration& config, std::u16string* error) {
    std::vector<MasterEntry> masters;
    if (!ParseMasterListText(ReadLongField(dialog, IDC_CONFIG_MASTERS), &masters, error)) {
        return false;
    }
    config.masters = MastersToKeep(masters);
    ZeroMemory(config.gameDir, sizeof config.gameDir);
    ZeroMemory(config.gameExe, sizeof config.gameExe);
    GetDlgItemTextW(dialog, IDC_CONFIG_GAME_DIR, AsWide(config.gameDir), PATH_FIELD_LIMIT);
    GetDlgItemTextW(dialog, IDC_CONFIG_GAME_EXE, AsWide(config.gameExe), PATH_FIELD_LIMIT);
    EndWithTrailingBackslash(config.gameDir);

    config.packetsPerSecond = ReadNumberField(dialog, IDC_CONFIG_QUERY_RATE);
    config.goodPing = ReadNumberField(dialog, IDC_CONFIG_GOOD_PING);
    config.mediumPing = ReadNumberField(dialog, IDC_CONFIG_MEDIUM_PING);
    config.buddyText = ReadLongField(dialog, IDC_CONFIG_BUDDIES);
    config.searchLan = IsDlgButtonChecked(dialog, IDC_CONFIG_SEARCH_LAN) == BST_CHECKED;
    config.refreshMinutes = ReadNumberField(dialog, IDC_CONFIG_REFRESH);
    config.keepInTray = IsDlgButtonChecked(dialog, IDC_CONFIG_KEEP_IN_TRAY) == BST_CHECKED;
    config.buddyAlerts = IsDlgButtonChecked(dialog, IDC_CONFIG_BUDDY_ALERTS) == BST_CHECKED;
    config.keepHistory = IsDlgButtonChecked(dialog, IDC_CONFIG_KEEP_HISTORY) == BST_CHECKED;
    ValidateConfiguration(config);
    return true;
}
