// The once-per-start download of a fresh mod filter list from the master web service. Win32 side.
#pragma once

#include <windows.h>

// Downloads "/filters", hands the text to the user interface thread as the new modFilterText and refills the mod
// filter box; silent on failure.
DWORD WINAPI FetchFiltersThread(LPVOID);
