#include "app/settings_store.h"

#include "app/app_state.h"

#include "base/stored_text.h"
#include "base/wide.h"
#include "master/mod_filters.h"
#include "resource.h"

namespace {

constexpr int32_t SETTINGS_VERSION = 2;
constexpr int32_t OLD_FORMAT_VERSION = 1;
constexpr size_t FIXED_TEXT_BYTES = 520;
constexpr size_t LAST_FILTER_BYTES = 128;
static_assert(sizeof(WINDOWPLACEMENT) == 44, "the stored placement is the 44-byte structure");

// A stored number. A value of another type or size would be misread, so it leaves the field as it was.
bool ReadNumber(HKEY key, const wchar_t* name, int32_t& field) {
    DWORD type = 0;
    int32_t value = 0;
    DWORD size = sizeof value;
    if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) != ERROR_SUCCESS ||
        type != REG_DWORD || size != sizeof value) {
        return false;
    }
    field = value;
    return true;
}

// A stored text read with a buffer of `bufferBytes` into a field of `fieldSize` characters. A text too long for
// either, or a value of another type, leaves the field as it was.
void ReadFixedText(HKEY key, const wchar_t* name, size_t bufferBytes, wchar_t* field, size_t fieldSize) {
    BYTE data[FIXED_TEXT_BYTES];
    DWORD type = 0;
    DWORD size = static_cast<DWORD>(bufferBytes);
    if (RegQueryValueExW(key, name, nullptr, &type, data, &size) == ERROR_SUCCESS && type == REG_SZ) {
        DecodeStoredText(data, size, AsU16(field), fieldSize);
    }
}

// A text value of any size, as its raw bytes in a heap block followed by four zero bytes, so that the bytes end
// in a terminator whether they are read as 8-bit or as 16-bit text. Null when missing, unreadable or not text.
BYTE* ReadTextBlock(HKEY key, const wchar_t* name, DWORD& size) {
    DWORD type = 0;
    size = 0;
    if (RegQueryValueExW(key, name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS || type != REG_SZ) {
        return nullptr;
    }
    auto* block = static_cast<BYTE*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, size + 4));
    if (!block) {
        return nullptr;
    }
    DWORD read = size;
    if (RegQueryValueExW(key, name, nullptr, &type, block, &read) != ERROR_SUCCESS || type != REG_SZ || read > size) {
        HeapFree(GetProcessHeap(), 0, block);
        return nullptr;
    }
    size = read;
    return block;
}

wchar_t* EmptyHeapText() {
    return static_cast<wchar_t*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, sizeof(wchar_t)));
}

// A stored UTF-16 text of any size in its own heap block; the empty text when it is missing or unreadable.
wchar_t* ReadHeapText(HKEY key, const wchar_t* name) {
    DWORD size = 0;
    BYTE* block = ReadTextBlock(key, name, size);
    if (!block) {
        return EmptyHeapText();
    }
    // No character can be made of an odd last byte: the text ends before it.
    if (size % 2 != 0) {
        block[size - 1] = 0;
    }
    return reinterpret_cast<wchar_t*>(block);
}

// Older releases stored the buddy list as 8-bit text in the ANSI code page.
wchar_t* ReadAnsiBuddyList(HKEY key) {
    DWORD size = 0;
    BYTE* block = ReadTextBlock(key, L"Buddy List", size);
    if (!block) {
        return EmptyHeapText();
    }
    // One character per stored byte at most, and the terminator.
    auto* text = static_cast<wchar_t*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, (size + 1) * sizeof(wchar_t)));
    if (text) {
        MultiByteToWideChar(CP_ACP, 0, reinterpret_cast<const char*>(block), -1, text, static_cast<int>(size + 1));
        text[size] = 0;
    }
    HeapFree(GetProcessHeap(), 0, block);
    return text ? text : EmptyHeapText();
}

void CheckBox(int id) {
    SendDlgItemMessageW(app.hMainDlg, id, BM_SETCHECK, BST_CHECKED, 0);
}

// The saved normal position and size, applied to the still hidden window without showing it; a saved
// maximised or minimised state is not restored.
void ApplyWindowPosition(HKEY key) {
    WINDOWPLACEMENT placement{};
    DWORD type = 0;
    DWORD size = sizeof placement;
    if (RegQueryValueExW(key, L"Window Position", nullptr, &type, reinterpret_cast<BYTE*>(&placement), &size) !=
            ERROR_SUCCESS ||
        type != REG_BINARY || size != sizeof placement || placement.length != sizeof placement) {
        return;
    }
    if (!(GetWindowLongW(app.hMainDlg, GWL_STYLE) & WS_VISIBLE)) {
        placement.showCmd = SW_HIDE;
    }
    SetWindowPlacement(app.hMainDlg, &placement);
}

void WriteNumber(HKEY key, const wchar_t* name, int32_t value) {
    RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
}

void WriteText(HKEY key, const wchar_t* name, const wchar_t* text) {
    if (!text) {
        text = L"";
    }
    DWORD bytes = static_cast<DWORD>((wcslen(text) + 1) * sizeof(wchar_t));
    RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text), bytes);
}

void WriteSettings(HKEY key, const wchar_t* selectedDir) {
    WriteText(key, L"Quake II Directory", app.gameDir);
    WriteText(key, L"Quake II Executable", app.gameExe);
    WriteText(key, L"Last Used Mod Filter", selectedDir);
    WriteText(key, L"Buddy List", app.buddyText);
    WriteText(key, L"Mod Filters", app.modFilterText);
    WriteNumber(key, L"Packets Per Second", app.packetsPerSecond);
    WriteNumber(key, L"Player View Style", app.playerViewDetails);
    WriteNumber(key, L"Good Ping Threshold", app.goodPing);
    WriteNumber(key, L"Medium Ping Threshold", app.mediumPing);
    WriteNumber(key, L"Version", SETTINGS_VERSION);
    WriteNumber(key, L"Sort Order", app.sortColumn);
    WriteNumber(key, L"Show Empty Servers",
                SendDlgItemMessageW(app.hMainDlg, IDC_SHOW_EMPTY, BM_GETCHECK, 0, 0) == BST_CHECKED);
    WriteNumber(key, L"Show Full Servers", app.showFull);
    WINDOWPLACEMENT placement{};
    placement.length = sizeof placement;
    if (GetWindowPlacement(app.hMainDlg, &placement)) {
        RegSetValueExW(key, L"Window Position", 0, REG_BINARY, reinterpret_cast<const BYTE*>(&placement),
                       sizeof placement);
    }
}

} // namespace

void LoadSettings() {
    HKEY key;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, SETTINGS_KEY, 0, KEY_READ, &key) != ERROR_SUCCESS) {
        app.showEmpty = 1;
        app.showFull = 1;
        CheckBox(IDC_SHOW_EMPTY);
        CheckBox(IDC_SHOW_FULL);
        app.lastModFilter[0] = 0;
        app.buddyText = EmptyHeapText();
        return;
    }

    ReadNumber(key, L"Packets Per Second", app.packetsPerSecond);
    ReadNumber(key, L"Player View Style", app.playerViewDetails);
    ReadNumber(key, L"Good Ping Threshold", app.goodPing);
    ReadNumber(key, L"Medium Ping Threshold", app.mediumPing);
    ReadNumber(key, L"Show Empty Servers", app.showEmpty);
    if (app.showEmpty) {
        CheckBox(IDC_SHOW_EMPTY);
    }
    ReadNumber(key, L"Show Full Servers", app.showFull);
    if (app.showFull) {
        CheckBox(IDC_SHOW_FULL);
    }

    int32_t formatVersion = OLD_FORMAT_VERSION;
    ReadNumber(key, L"Version", formatVersion);
    ReadNumber(key, L"Sort Order", app.sortColumn);

    ReadFixedText(key, L"Quake II Directory", FIXED_TEXT_BYTES, app.gameDir, PATH_TEXT_SIZE);
    ReadFixedText(key, L"Quake II Executable", FIXED_TEXT_BYTES, app.gameExe, PATH_TEXT_SIZE);
    ReadFixedText(key, L"Last Used Mod Filter", LAST_FILTER_BYTES, app.lastModFilter, MOD_DIR_SIZE);

    ApplyWindowPosition(key);

    app.buddyText = formatVersion == OLD_FORMAT_VERSION ? ReadAnsiBuddyList(key) : ReadHeapText(key, L"Buddy List");
    app.modFilterText = ReadHeapText(key, L"Mod Filters");
    RegCloseKey(key);
    if (app.modFilterText) {
        FillModFilters();
    }
}

void SaveSettings() {
    wchar_t selectedDir[MOD_FILTER_DIR_TEXT_SIZE];
    SelectedModFilterDir(selectedDir, MOD_FILTER_DIR_TEXT_SIZE);

    HKEY key;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, SETTINGS_KEY, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_WRITE, nullptr, &key,
                        nullptr) == ERROR_SUCCESS) {
        RegCloseKey(key);
    }
    if (RegOpenKeyExW(HKEY_CURRENT_USER, SETTINGS_KEY, 0, KEY_WRITE, &key) == ERROR_SUCCESS) {
        WriteSettings(key, selectedDir);
        RegCloseKey(key);
    }
    WSACleanup();
}
