// The mod filter box: its entries and the game directories behind them, built from the mod filter text or the
// built-in list. Win32 side.
//
// Threads: FillModFilters runs on the user interface thread during start-up and afterwards only on the filter
// download thread; it holds filterLock throughout and sends messages to the box meanwhile. The user interface
// thread never waits for filterLock: what it needs of the box for saving it keeps in its own copy.
#pragma once

#include <windows.h>

// Room for a game directory read from the box, terminator included; longer ones are cut.
constexpr size_t MOD_FILTER_DIR_TEXT_SIZE = 512;

// Rebuilds the box and modFilterDirs from modFilterText (which must not be null), reselecting the entry of the
// remembered game directory. Never starts an update run.
void FillModFilters();

// User interface thread: notes the selected entry's game directory after the user picked it. Skipped while a
// refill holds the lock; the refill reports its own outcome when it ends.
void NoteModFilterSelection();

// User interface thread: the game directory of the selected entry, or the empty text with "(No Filter)" or no
// selection; never waits for filterLock.
void SelectedModFilterDir(wchar_t* dir, size_t size);

// Handlers of the filter thread's messages to the main dialog (see app_messages.h).
void TakeModFilterText(wchar_t* text);
void OnModFiltersFilled();
