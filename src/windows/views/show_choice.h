// The "Show" choice beside the mod filter (control 1043): all servers, the favourites, the servers played on
// lately, or the servers that answered on the LAN. It combines with the search box, the mod filter and the Full/Empty
// boxes; it starts at "All servers" in every run of the program and is not stored. Win32 side; user interface thread
// only.
#pragma once

#include <windows.h>

#include "windows/state/finding.h"

// Fills the box with its choices, "All servers" chosen.
void InitShowChoice(HWND box, Finding& finding);

// CBN_SELCHANGE: takes the new choice; returns whether it changed.
bool ReadShowChoice(HWND box, Finding& finding);
