// Update runs on the window's side: a run started from the session's snapshot and the mod filter box's choice,
// aborted, taken from, and let go. Win32 side; user interface thread only. The run itself is core/run/run_handle.h;
// what its reports mean for the lists and the status line, the main window applies (windows/app/main_window_views.h).
#pragma once

#include <windows.h>

#include "core/run/run_channel.h"
#include "windows/app/session.h"
#include "windows/views/mod_filter_box.h"

// Starts a run for the selected mod filter, which wakes `dialog` with WM_APP_RUN_REPORT as it reports. False, with
// the system's error and no run, when no worker could be had.
bool StartUpdateRun(HWND dialog, Session& session, const ModFilterBox& filters, DWORD* error);

// Asks the run in progress to end at its next step; its closing line then says "Aborted".
void AbortUpdateRun(RunState& run);

// Everything the run has reported since the last take (nothing without a run).
RunReport TakeRunReport(RunState& run);

// The run has ended, or is let go (the window ends): a run still going is aborted and finishes on its own.
void EndUpdateRun(RunState& run);
