// The mod filter box (control 1031): its entries and the game directories behind them, built from the mod filter
// text or the built-in list. Win32 side; user interface thread only.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

// "(No Filter)" and at most 63 pairs of a text; the pairs past them are left out.
constexpr int MOD_FILTER_CAPACITY = 64;
// Room for a game directory read from the box, terminator included: longer ones are cut.
constexpr size_t MOD_FILTER_DIR_TEXT_SIZE = 512;

struct ModFilterBox {
    HWND box = nullptr;
    std::vector<std::u16string> dirs;   // each entry's game directory; the box's item data index them
    std::optional<std::u16string> text; // the mod filter list text, none until first set
    std::u16string lastUsed; // the directory selected when the program last ended, read while the box is empty
};

// Rebuilds the box and its directories from the text (which must be set), reselecting the entry of the remembered
// game directory. Never starts an update run.
void FillModFilters(ModFilterBox& filters);

// The game directory of the selected entry, or the empty text with "(No Filter)" or no selection.
std::u16string SelectedModFilterDir(const ModFilterBox& filters);

// The game directory an update run asks the master for: the selected entry's, or without a selection the first
// entry's (the empty text for an empty box).
std::u16string RequestedModFilterDir(const ModFilterBox& filters);

// Keeps a new mod filter text (stored or downloaded) and refills the box from it.
void SetModFilterText(ModFilterBox& filters, std::u16string text);

// Whether the box has no entries yet: no stored text filled it and no download has come.
bool ModFilterBoxEmpty(const ModFilterBox& filters);
