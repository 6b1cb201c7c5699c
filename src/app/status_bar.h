// The main window's status bar: part 0 the status line, part 1 the player count, part 2 the server count.
//
// Texts reach the bar at a human rate. On the user interface thread a text is shown at once. A worker's text is
// kept as the one waiting (a newer one replaces it) and shown by the user interface thread when the bar last
// changed at least STATUS_INTERVAL_MS ago, else when that time is up; so no worker ever waits for the window, a
// text that stays for longer than the interval is always seen, and a flood of them costs the bar 20 updates a
// second. A text never overtakes an older one: whatever is still waiting is shown first.
#pragma once

#include <windows.h>

constexpr DWORD STATUS_INTERVAL_MS = 50;

// Creates the bar along the main dialog's bottom edge with its parts, icons and first texts.
void CreateStatusBar();

// printf-style (%s wide, %S narrow) message into the status line, cut to 1023 characters. Callable from any
// thread; does nothing while the status bar does not exist.
void SetStatus(const wchar_t* format, ...);

// The same, but shown before it returns, even from a worker: a run's closing line.
void SetStatusNow(const wchar_t* format, ...);

// Shows shownPlayers and shownServers in parts 1 and 2 ("1 Player", "2 Players", "0 Servers"). User interface
// thread.
void UpdateStatusCounts();
// The same at the bar's rate: for counts that change with every batch of replies. User interface thread.
void UpdateStatusCountsSoon();

// Shows the waiting text and counts now. User interface thread.
void FlushStatus();

// WM_APP_SHOW_STATUS: a worker's text is waiting, or (STATUS_AT_ONCE) must be shown now.
void OnStatusWake(WPARAM how, LPARAM text);
constexpr WPARAM STATUS_AT_ONCE = 1;
