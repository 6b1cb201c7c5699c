// The search box (control 1037): as the user types, the server list shows only the servers that hold the text in
// their host name, map, mod, address or a player's name (core/display/server_search.h). Ctrl+F focuses it and Esc
// empties it. What a new search means for the lists, the main window passes on. Win32 side; user interface thread
// only.
#pragma once

#include <windows.h>

#include "windows/state/finding.h"

// Bounds what the box takes.
void InitSearchBox(HWND box);

// EN_CHANGE: takes the box's text as the search, when it makes another search than the one it has. Returns whether
// it changed.
bool ReadSearchBox(HWND box, Finding& finding);

// Ctrl+F: the box takes the focus with its text selected, so that typing replaces it.
void FocusSearchBox(HWND dialog, HWND box);

// Esc: empties the box and the search. False when it was empty already.
bool ClearSearchBox(HWND box, Finding& finding);
