// Update runs: the Update/Abort switch and the worker that downloads the list, rebuilds the table and queries
// every server. Win32 side.
#pragma once

#include <windows.h>

// User interface thread only. With no run in progress starts one (Update reads "Abort", Config and the mod
// filter box are disabled); during a run asks it to abort (the Abort button is disabled until the run ends).
void ToggleUpdate();

// The worker of one run. Exit code 1 after a failed download, 0 otherwise.
DWORD WINAPI UpdateThread(LPVOID);

// WM_APP_END_UPDATE on the user interface thread: puts the controls back, resets abortEvent and ends the run.
void EndUpdateRun();
