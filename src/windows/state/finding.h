// Finding a game: the search box's text as the server list was last filtered by it, the "Show" choice, and which of
// the shown table's servers they leave in the list. Win32 side; user interface thread only.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/display/server_search.h"
#include "windows/state/server_lists.h"
#include "windows/state/shown_table.h"

// The "Show" choices, in the box's order (windows/views/show_choice.h).
enum ShowChoice : int32_t { SHOW_ALL, SHOW_FAVOURITES, SHOW_RECENT, SHOW_LAN };

struct Finding {
    ServerSearch search;
    int32_t showChoice = SHOW_ALL;
    // By table index: the record's places folded, once searched; or empty. They belong to the shown table.
    std::vector<std::u16string> searchTexts;

    // Whether the "Show" choice or the search leaves servers out: the status bar then says how many are shown of
    // how many are listed.
    bool Narrows() const { return search.Active() || showChoice != SHOW_ALL; }
};

// Whether the "Show" choice shows the server.
bool ShowsUnderChoice(const Finding& finding, const ServerLists& lists, const ServerRecord& record);

// Whether the delivered record `index` of the shown table is among the servers the "Show" choice shows and holds the
// search text; every record while the choice is "All servers" and there is no search. Each record's places are
// folded once a table, so a keystroke costs a look through each.
bool IsFound(Finding& finding, const ShownTable& shown, const ServerLists& lists, int32_t index);

// Folds the places of every delivered record that has not been searched yet, when the search box takes the focus:
// the first keystroke then costs what every other one does.
void PrepareSearchTexts(Finding& finding, const ShownTable& shown);
