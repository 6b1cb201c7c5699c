// The mod filter box: its entries and the game directories behind them, built from the mod filter text or the
// built-in list. Win32 side; user interface thread only.
#pragma once

#include <windows.h>

#include <string>

struct AppState;

// Room for a game directory read from the box, terminator included; longer ones are cut.
constexpr size_t MOD_FILTER_DIR_TEXT_SIZE = 512;

// Rebuilds the box and modFilterDirs from modFilterText (which must not be null), reselecting the entry of the
// remembered game directory. Never starts an update run.
void FillModFilters(AppState& app);

// The game directory of the selected entry, or the empty text with "(No Filter)" or no selection.
void SelectedModFilterDir(AppState& app, wchar_t* dir, size_t size);

// The game directory an update run asks the master for: the selected entry's, or without a selection the first
// entry's (the empty text for an empty box).
void RequestedModFilterDir(AppState& app, wchar_t* dir, size_t size);

// Keeps a new mod filter text (stored or downloaded) as modFilterText and refills the box from it; with no memory
// left for it, the text and the box stay as they were.
void SetModFilterText(AppState& app, const std::u16string& text);
