#include "app/settings_store.h"

#include "app/app_state.h"

#include "base/stored_value.h"
#include "base/wide.h"
#include "master/mod_filters.h"
#include "resource.h"

namespace {

constexpr int32_t SETTINGS_VERSION = 2;
constexpr int32_t OLD_FORMAT_VERSION = 1;
constexpr size_t FIXED_TEXT_BYTES = 520;
constexpr size_t LAST_FILTER_BYTES = 128;
static_assert(sizeof(WINDOWPLACEMENT) == 44, "the stored placement is the 44-byte structure");

// A value of up to `capacity` bytes read into `buffer`. One that is missing, unreadable or larger than the buffer
// comes back with no type, which every decoder refuses.
StoredValue QueryValue(HKEY key, const wchar_t* name, BYTE* buffer, DWORD capacity) {
    DWORD type = 0;
    DWORD size = capacity;
    if (RegQueryValueExW(key, name, nullptr, &type, buffer, &size) != ERROR_SUCCESS || size > capacity) {
        return {0, buffer, 0};
    }
    return {type, buffer, size};
}

bool ReadNumber(HKEY key, const wchar_t* name, int32_t& field) {
    BYTE data[sizeof(int32_t)];
    return DecodeStoredNumber(QueryValue(key, name, data, sizeof data), &field);
}

// A stored text read with a buffer of `bufferBytes` into a field of `fieldSize` characters. A text too long for
// either, or a value of another type, leaves the field as it was.
void ReadFixedText(HKEY key, const wchar_t* name, DWORD bufferBytes, wchar_t* field, size_t fieldSize) {
    BYTE data[FIXED_TEXT_BYTES];
    DecodeFixedText(QueryValue(key, name, data, bufferBytes), bufferBytes, AsU16(field), fieldSize);
}

// A text value of any size as its raw bytes in a heap block; null when missing, unreadable or not text.
BYTE* ReadTextBlock(HKEY key, const wchar_t* name, StoredValue& value) {
    DWORD type = 0;
    DWORD size = 0;
    if (RegQueryValueExW(key, name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS || type != REG_SZ) {
        return nullptr;
    }
    auto* block = static_cast<BYTE*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, size + 1));
    if (!block) {
        return nullptr;
    }
    DWORD read = size;
    if (RegQueryValueExW(key, name, nullptr, &type, block, &read) != ERROR_SUCCESS || type != REG_SZ || read > size) {
        HeapFree(GetProcessHeap(), 0, block);
        return nullptr;
    }
    value = {type, block, read};
    return block;
}

wchar_t* EmptyHeapText() {
    return static_cast<wchar_t*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, sizeof(wchar_t)));
}

// A stored UTF-16 text of any size in its own heap block; the empty text when it is missing or unreadable.
wchar_t* ReadHeapText(HKEY key, const wchar_t* name) {
    StoredValue value{};
    BYTE* block = ReadTextBlock(key, name, value);
    if (!block) {
        return EmptyHeapText();
    }
    size_t units = StoredTextUnits(value);
    auto* text = static_cast<wchar_t*>(HeapAlloc(GetProcessHeap(), 0, units * sizeof(wchar_t)));
    if (text) {
        DecodeWideText(value, AsU16(text), units);
    }
    HeapFree(GetProcessHeap(), 0, block);
    return text ? text : EmptyHeapText();
}

size_t DecodeAnsiCodePage(const char* text, size_t length, char16_t* dest, size_t size) {
    int written = MultiByteToWideChar(CP_ACP, 0, text, static_cast<int>(length), AsWide(dest), static_cast<int>(size));
    return written > 0 ? static_cast<size_t>(written) : 0;
}

// Older releases stored the buddy list as 8-bit text in the ANSI code page.
wchar_t* ReadAnsiBuddyList(HKEY key) {
    StoredValue value{};
    BYTE* block = ReadTextBlock(key, L"Buddy List", value);
    if (!block) {
        return EmptyHeapText();
    }
    // One character per stored byte at most, and the terminator.
    size_t units = value.size + 1;
    auto* text = static_cast<wchar_t*>(HeapAlloc(GetProcessHeap(), 0, units * sizeof(wchar_t)));
    if (text) {
        DecodeAnsiText(value, DecodeAnsiCodePage, AsU16(text), units);
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
    StoredValue value = QueryValue(key, L"Window Position", reinterpret_cast<BYTE*>(&placement), sizeof placement);
    if (!IsStoredPlacement(value, sizeof placement)) {
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
