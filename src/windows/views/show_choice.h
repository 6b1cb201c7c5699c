// The "Show" choice beside the mod filter (control 1043): all servers, the favourites, the servers played on
// lately, or the servers that answered on the LAN. It combines with the search box, the mod filter and the Full/Empty
// boxes; it starts at "All servers" in every run of the program and is not stored. Win32 side; user interface thread
// only.
#pragma once

#include "windows/views/search_rows.h"

struct AppState;

// Fills the box with its choices, "All servers" chosen.
void InitShowChoice(AppState& app);

// CBN_SELCHANGE: the list shows what the new choice shows.
void OnShowChoiceChanged(AppState& app);

// The favourites or the history changed: under a choice of either, the rows follow.
void FollowShowChoice(AppState& app);
