// The search box (control 1037): as the user types, the server list shows only the servers that hold the text in
// their host name, map, mod, address or a player's name (core/display/server_search.h). Ctrl+F focuses it and Esc
// empties it. Win32 side; user interface thread only.
#pragma once

struct AppState;

// Bounds what the box takes.
void InitSearchBox(AppState& app);

// The rows follow a change of what is found: the search or the "Show" choice. The selected server stays selected
// while it is still found.
void ApplyFinding(AppState& app);

// EN_CHANGE: filters the server list by the box's text, when it makes another search than the list's.
void OnSearchTextChanged(AppState& app);

// Ctrl+F: the box takes the focus with its text selected, so that typing replaces it.
void FocusSearchBox(AppState& app);

// Esc: empties the box, which shows every server again. False when it was empty already.
bool ClearSearchBox(AppState& app);
