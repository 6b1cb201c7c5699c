// The once-per-start download of a fresh mod filter list from the master web service. Win32 side.
#pragma once

#include <windows.h>

// Downloads "/filters" and posts the text to the main dialog (the parameter, an HWND) as WM_APP_SET_MOD_FILTER_TEXT;
// silent on failure. Touches nothing but its own download.
DWORD WINAPI FetchFiltersThread(LPVOID mainDialog);
