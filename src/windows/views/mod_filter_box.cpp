#include "windows/views/mod_filter_box.h"

#include "windows/state/app_state.h"

#include <strsafe.h>

#include <cstring>

#include "core/mods/built_in_mods.h"
#include "core/mods/mod_filter_text.h"
#include "resource.h"
#include "windows/platform/wide.h"

namespace {

constexpr int TEXT_PAIR_CAPACITY = MOD_FILTER_CAPACITY - 1;

constexpr wchar_t NO_FILTER_NAME[] = L"(No Filter)";

wchar_t* CopyToHeap(const wchar_t* text) {
    size_t length = wcslen(text);
    auto* copy = static_cast<wchar_t*>(HeapAlloc(GetProcessHeap(), 0, (length + 1) * sizeof(wchar_t)));
    if (copy) {
        CopyMemory(copy, text, (length + 1) * sizeof(wchar_t));
    }
    return copy;
}

// The game directory modFilterDirs[index] (empty for an index out of range, such as CB_ERR).
void CopyFilterDir(AppState& app, LRESULT index, wchar_t* dir, size_t size) {
    dir[0] = 0;
    if (index >= 0 && index < app.modFilterCount && app.modFilterDirs[index]) {
        StringCchCopyW(dir, size, app.modFilterDirs[index]);
    }
}

// The selected entry's game directory (empty for none).
void ReadSelectedDir(AppState& app, HWND box, wchar_t* dir, size_t size) {
    LRESULT selection = SendMessageW(box, CB_GETCURSEL, 0, 0);
    CopyFilterDir(app, selection == CB_ERR ? CB_ERR : SendMessageW(box, CB_GETITEMDATA, selection, 0), dir, size);
}

// The entries of one fill, every allocation made before the box is touched, so a failure leaves it as it was.
struct FilterEntries {
    wchar_t* textCopy; // the split text the names point into; null for the built-in list
    int count;
    const wchar_t* names[MOD_FILTER_CAPACITY];
    wchar_t* dirs[MOD_FILTER_CAPACITY]; // heap copies, handed to modFilterDirs on success
    int chosen;                         // index of the entry to select
};

void ReleaseEntries(FilterEntries& entries) {
    for (int i = 0; i < entries.count; ++i) {
        if (entries.dirs[i]) {
            HeapFree(GetProcessHeap(), 0, entries.dirs[i]);
        }
    }
    if (entries.textCopy) {
        HeapFree(GetProcessHeap(), 0, entries.textCopy);
    }
    entries = FilterEntries{};
}

bool AddEntry(FilterEntries& entries, const wchar_t* name, const wchar_t* dir) {
    wchar_t* copy = CopyToHeap(dir);
    if (!copy) {
        return false;
    }
    entries.names[entries.count] = name;
    entries.dirs[entries.count++] = copy;
    return true;
}

// Entries from a mod filter text: "(No Filter)" first, then its pairs in text order; the last pair whose directory
// equals `remembered` exactly is chosen (none is compared without it). False, with no entries, when memory ran out
// or the text is rejected (an odd number of lines); `rejected` tells which.
bool BuildTextEntries(const wchar_t* text, const wchar_t* remembered, FilterEntries& entries, bool& rejected) {
    entries = FilterEntries{};
    rejected = false;
    entries.textCopy = CopyToHeap(text);
    if (!entries.textCopy) {
        return false;
    }
    ModFilterPair pairs[TEXT_PAIR_CAPACITY];
    size_t pairCount = 0;
    rejected = !SplitModFilterText(AsU16(entries.textCopy), pairs, TEXT_PAIR_CAPACITY, pairCount);
    if (rejected || !AddEntry(entries, NO_FILTER_NAME, L"")) {
        ReleaseEntries(entries);
        return false;
    }
    for (size_t i = 0; i < pairCount; ++i) {
        if (!AddEntry(entries, AsWide(pairs[i].name), AsWide(pairs[i].dir))) {
            ReleaseEntries(entries);
            return false;
        }
        if (remembered && wcscmp(AsWide(pairs[i].dir), remembered) == 0) {
            entries.chosen = entries.count - 1;
        }
    }
    return true;
}

// Builds the entries of modFilterText; the built-in list, with "(No Filter)" chosen, when the text is empty or
// rejected. False when memory ran out.
bool BuildEntries(AppState& app, const wchar_t* remembered, FilterEntries& entries) {
    bool rejected = true;
    if (app.modFilterText[0] != 0 && BuildTextEntries(app.modFilterText, remembered, entries, rejected)) {
        return true;
    }
    return rejected && BuildTextEntries(AsWide(BUILT_IN_MOD_FILTER_TEXT), nullptr, entries, rejected);
}

// Puts the entries into the box and modFilterDirs and selects the chosen one by its item data: entries added
// after it may have sorted in front of it.
void ShowEntries(AppState& app, HWND box, FilterEntries& entries) {
    SendMessageW(box, CB_RESETCONTENT, 0, 0);
    for (int i = 0; i < app.modFilterCount; ++i) {
        HeapFree(GetProcessHeap(), 0, app.modFilterDirs[i]);
        app.modFilterDirs[i] = nullptr;
    }
    app.modFilterCount = 0;
    for (int i = 0; i < entries.count; ++i) {
        app.modFilterDirs[i] = entries.dirs[i];
        entries.dirs[i] = nullptr;
        app.modFilterCount = i + 1;
        LRESULT item = SendMessageW(box, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(entries.names[i]));
        if (item >= 0) {
            SendMessageW(box, CB_SETITEMDATA, item, i);
        }
    }
    LRESULT itemCount = SendMessageW(box, CB_GETCOUNT, 0, 0);
    for (LRESULT item = 0; item < itemCount; ++item) {
        if (SendMessageW(box, CB_GETITEMDATA, item, 0) == entries.chosen) {
            SendMessageW(box, CB_SETCURSEL, item, 0);
            break;
        }
    }
}

} // namespace

void FillModFilters(AppState& app) {
    HWND box = GetDlgItem(app.hMainDlg, IDC_MOD_FILTER);
    if (!box) {
        return;
    }
    wchar_t remembered[MOD_FILTER_DIR_TEXT_SIZE] = {};
    if (SendMessageW(box, CB_GETCOUNT, 0, 0) > 0) {
        ReadSelectedDir(app, box, remembered, MOD_FILTER_DIR_TEXT_SIZE);
    } else {
        StringCchCopyW(remembered, MOD_FILTER_DIR_TEXT_SIZE, app.lastModFilter);
    }
    FilterEntries entries;
    if (BuildEntries(app, remembered, entries)) {
        ShowEntries(app, box, entries);
    }
    ReleaseEntries(entries);
}

void SelectedModFilterDir(AppState& app, wchar_t* dir, size_t size) {
    ReadSelectedDir(app, GetDlgItem(app.hMainDlg, IDC_MOD_FILTER), dir, size);
}

void RequestedModFilterDir(AppState& app, wchar_t* dir, size_t size) {
    // Without a selection, modFilterDirs[0]: the directory the box's first entry stands for.
    HWND box = GetDlgItem(app.hMainDlg, IDC_MOD_FILTER);
    LRESULT selection = SendMessageW(box, CB_GETCURSEL, 0, 0);
    CopyFilterDir(app, selection == CB_ERR ? 0 : SendMessageW(box, CB_GETITEMDATA, selection, 0), dir, size);
}

void SetModFilterText(AppState& app, const std::u16string& text) {
    size_t bytes = (text.size() + 1) * sizeof(wchar_t);
    auto* copy = static_cast<wchar_t*>(HeapAlloc(GetProcessHeap(), 0, bytes));
    if (!copy) {
        return;
    }
    std::memcpy(copy, text.c_str(), bytes);
    if (app.modFilterText) {
        HeapFree(GetProcessHeap(), 0, app.modFilterText);
    }
    app.modFilterText = copy;
    FillModFilters(app);
}
