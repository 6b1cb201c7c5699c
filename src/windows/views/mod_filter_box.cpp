#include "windows/views/mod_filter_box.h"

#include "core/mods/built_in_mods.h"
#include "core/mods/mod_filter_text.h"
#include "platform/win32/wide.h"

namespace {

constexpr int TEXT_PAIR_CAPACITY = MOD_FILTER_CAPACITY - 1;
constexpr char16_t NO_FILTER_NAME[] = u"(No Filter)";

// The directory behind an item's data (empty for data out of range, such as CB_ERR's), cut as the box reads it.
std::u16string FilterDir(const ModFilterBox& filters, LRESULT index) {
    if (index < 0 || static_cast<size_t>(index) >= filters.dirs.size()) {
        return std::u16string();
    }
    return filters.dirs[static_cast<size_t>(index)].substr(0, MOD_FILTER_DIR_TEXT_SIZE - 1);
}

// The entries of one fill: "(No Filter)" first, then a text's pairs in text order.
struct FilterEntries {
    std::vector<std::u16string> names;
    std::vector<std::u16string> dirs;
    size_t chosen = 0; // the entry to select
};

// Entries from a mod filter text; the last pair whose directory equals `remembered` exactly is chosen (none is
// compared without it). False when the text is rejected (an odd number of lines).
bool BuildTextEntries(const std::u16string& text, const std::u16string* remembered, FilterEntries& entries) {
    std::u16string split = text; // the pairs point into it
    ModFilterPair pairs[TEXT_PAIR_CAPACITY];
    size_t pairCount = 0;
    if (!SplitModFilterText(&split[0], pairs, TEXT_PAIR_CAPACITY, pairCount)) {
        return false;
    }
    entries = FilterEntries{{NO_FILTER_NAME}, {u""}, 0};
    for (size_t i = 0; i < pairCount; ++i) {
        entries.names.emplace_back(pairs[i].name);
        entries.dirs.emplace_back(pairs[i].dir);
        if (remembered && entries.dirs.back() == *remembered) {
            entries.chosen = entries.dirs.size() - 1;
        }
    }
    return true;
}

// Puts the entries into the box and selects the chosen one by its item data: entries added after it may have sorted
// in front of it.
void ShowEntries(ModFilterBox& filters, FilterEntries& entries) {
    SendMessageW(filters.box, CB_RESETCONTENT, 0, 0);
    filters.dirs = std::move(entries.dirs);
    for (size_t i = 0; i < entries.names.size(); ++i) {
        LRESULT item =
            SendMessageW(filters.box, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(AsWide(entries.names[i].c_str())));
        if (item >= 0) {
            SendMessageW(filters.box, CB_SETITEMDATA, item, static_cast<LPARAM>(i));
        }
    }
    LRESULT itemCount = SendMessageW(filters.box, CB_GETCOUNT, 0, 0);
    for (LRESULT item = 0; item < itemCount; ++item) {
        if (SendMessageW(filters.box, CB_GETITEMDATA, item, 0) == static_cast<LRESULT>(entries.chosen)) {
            SendMessageW(filters.box, CB_SETCURSEL, item, 0);
            break;
        }
    }
}

} // namespace

void FillModFilters(ModFilterBox& filters) {
    if (!filters.box || !filters.text) {
        return;
    }
    std::u16string remembered = ModFilterBoxEmpty(filters) ? filters.lastUsed : SelectedModFilterDir(filters);
    FilterEntries entries;
    // An empty or rejected text gives the built-in list, with "(No Filter)" chosen.
    if (filters.text->empty() || !BuildTextEntries(*filters.text, &remembered, entries)) {
        BuildTextEntries(BUILT_IN_MOD_FILTER_TEXT, nullptr, entries);
    }
    ShowEntries(filters, entries);
}

std::u16string SelectedModFilterDir(const ModFilterBox& filters) {
    LRESULT selection = SendMessageW(filters.box, CB_GETCURSEL, 0, 0);
    return FilterDir(filters, selection == CB_ERR ? CB_ERR : SendMessageW(filters.box, CB_GETITEMDATA, selection, 0));
}

std::u16string RequestedModFilterDir(const ModFilterBox& filters) {
    // Without a selection, the directory the box's first entry stands for.
    LRESULT selection = SendMessageW(filters.box, CB_GETCURSEL, 0, 0);
    return FilterDir(filters, selection == CB_ERR ? 0 : SendMessageW(filters.box, CB_GETITEMDATA, selection, 0));
}

void SetModFilterText(ModFilterBox& filters, std::u16string text) {
    filters.text = std::move(text);
    FillModFilters(filters);
}

bool ModFilterBoxEmpty(const ModFilterBox& filters) {
    return SendMessageW(filters.box, CB_GETCOUNT, 0, 0) <= 0;
}
