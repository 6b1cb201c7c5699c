// The main window's status bar: part 0 the status line, part 1 the player count, part 2 the server count. Win32
// side; user interface thread only.
//
// Texts reach the bar at a human rate. The window's own texts (SetStatus) are shown at once. An update run's texts
// arrive in batches: each is kept as waiting (two at most: a third drops the older two, so a flood shows its
// latest) and shown when the bar last changed at least STATUS_INTERVAL_MS ago, else when that time is up, so a
// text that stays for longer than the interval is always seen, and a flood of them costs the bar 20 updates a
// second. A run's closing line is shown at once, after whatever still waits: a text never overtakes an older one.
#pragma once

#include <windows.h>

#include "core/run/run_status.h"
#include "windows/state/app_state.h"

constexpr DWORD STATUS_INTERVAL_MS = 50;

// Creates the bar along the main dialog's bottom edge with its parts, icons and first texts.
void CreateStatusBar(AppState& app);

// The bar's icons at `dpi`, from the images of that size.
void SetStatusIcons(AppState& app, UINT dpi);

// The part edges, set from the width at creation, moved as the window's DPI changes.
void ScaleStatusParts(AppState& app, UINT fromDpi, UINT toDpi);

// A message into the status line, cut to 1023 characters, shown at once after any run text still waiting. Does
// nothing while the status bar does not exist. Messages with values are made with fmt::format (core/text/format.h).
void SetStatus(AppState& app, const wchar_t* text);

// A text of an update run, shown at once or at the bar's rate as it says.
void ShowRunStatus(AppState& app, const StatusText& text);

// Shows shownPlayers and shownServers in parts 1 and 2 ("1 Player", "2 Players", "0 Servers"); while a search or the
// "Show" choice leaves servers out, the servers shown of those listed ("3 of 120 Servers").
void UpdateStatusCounts(AppState& app);
// The same at the bar's rate: for counts that change with every batch of replies.
void UpdateStatusCountsSoon(AppState& app);

// Shows the waiting text and counts now.
void FlushStatus(AppState& app);
