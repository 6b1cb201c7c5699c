// Which servers the "Show" choice and the search box (windows/views/show_choice.h, search_box.h) leave in the list,
// and what the search shows on the rows it leaves: the player whose name matched,
// selected in the player list, and the server row's tip saying why it matched. Win32 side; user interface thread only.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <string>

#include "core/protocol/server_record.h"

struct AppState;

// Whether the delivered record `index` of the shown table is among the servers the "Show" choice shows and holds the
// search text; every record while the choice is "All servers" and there is no search. Each record's places are
// folded once a table (searchTexts), so a keystroke costs a look through each.
bool IsFound(AppState& app, int32_t index);

// The delivered record's places folded for the search, made at its first search.
const std::u16string& SearchTextFor(AppState& app, int32_t index);

// Folds the places of every delivered record that has not been searched yet, when the search box takes the focus:
// the first keystroke then costs what every other one does.
void PrepareSearchTexts(AppState& app);

// The "Show" choices, in the box's order (windows/views/show_choice.h).
constexpr int32_t SHOW_ALL = 0;
constexpr int32_t SHOW_FAVOURITES = 1;
constexpr int32_t SHOW_RECENT = 2;
constexpr int32_t SHOW_LAN = 3;

// Whether the "Show" choice shows the server.
bool ShowsUnderChoice(const AppState& app, const ServerRecord& record);

// Whether the "Show" choice or the search leaves servers out: the status bar then says how many are shown of how
// many are listed.
bool FindingNarrows(const AppState& app);

// Selects the first player of `record` whose name holds the search text, when a search is active, and brings the
// row into view. `record` is the server whose players the player list has just been filled with.
void SelectMatchedPlayer(AppState& app, const ServerRecord& record);

// LVN_GETINFOTIPW from the server list: while a search is active, why the row's server matched.
void GetSearchInfoTip(AppState& app, NMLVGETINFOTIPW* tip);
