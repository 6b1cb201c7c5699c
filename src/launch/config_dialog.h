// The configuration dialog: game path and executable, buddy list, query rate and ping thresholds. Win32 side; user
// interface thread only. It runs only between update runs (the Config button is disabled during one), so no worker
// reads the fields while it writes them.
#pragma once

#include <windows.h>

// Runs the dialog modally over the main dialog; returns when it has been applied and closed.
void RunConfigDialog();

// The dialog procedure: fills the fields from AppState when it opens; OK, Enter in a single-line field and the
// close box apply them and end the dialog with 0. Escape does nothing.
INT_PTR CALLBACK ConfigDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// Copies the dialog's fields into AppState, rebuilds the buddy entries and repaints both lists before it returns.
// The registry is written only when the program ends.
void ApplyConfig(HWND dialog);
