// What the search box (windows/views/search_box.h) shows on the rows it leaves: the player whose name matched,
// selected in the player list, and the server row's tip saying why it matched. Win32 side; user interface thread only.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include "core/protocol/server_record.h"

struct AppState;

// Whether the delivered record `index` of the shown table holds the search text; every record while there is none.
// Each record's places are folded once a table (searchTexts), so a keystroke costs a look through each.
bool PassesSearch(AppState& app, int32_t index);

// Selects the first player of `record` whose name holds the search text, when a search is active, and brings the
// row into view. `record` is the server whose players the player list has just been filled with.
void SelectMatchedPlayer(AppState& app, const ServerRecord& record);

// LVN_GETINFOTIPW from the server list: while a search is active, why the row's server matched.
void GetSearchInfoTip(AppState& app, NMLVGETINFOTIPW* tip);
