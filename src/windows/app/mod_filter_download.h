// The once-per-start download of a fresh mod filter list from the master web service. Win32 side.
#pragma once

#include <windows.h>

#include <vector>

#include "core/protocol/master_entry.h"

// Downloads "/filters" from the first web master among `masters` on a thread of its own, which posts the text to
// the main dialog as WM_APP_SET_MOD_FILTER_TEXT; silent on failure, and touches nothing but its own download.
// Returns the thread (for the caller to close), or null when no web master is listed or no thread could be had.
HANDLE StartFilterDownload(HWND mainDialog, const std::vector<MasterEntry>& masters);
