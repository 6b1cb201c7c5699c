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

#include <cstdint>
#include <string>

#include "core/display/latest_two.h"
#include "core/run/run_status.h"
#include "windows/support/throttle.h"

constexpr DWORD STATUS_INTERVAL_MS = 50;
constexpr UINT_PTR STATUS_TIMER_ID = 0x5354;

// What parts 1 and 2 say: the players and servers shown, and how many servers the other filters list while a search
// or the "Show" choice leaves some out ("3 of 120 Servers").
struct StatusCounts {
    int32_t players = 0;
    int32_t shown = 0;
    int32_t listed = 0;
    bool narrowed = false;
};

// The bar and what it keeps between its changes. The bar's timer finds this through a property of the bar.
struct StatusLine {
    HWND bar = nullptr;
    HINSTANCE instance = nullptr;
    LatestTwo<std::wstring> waiting; // oldest first
    Throttle throttle{STATUS_TIMER_ID, STATUS_INTERVAL_MS};
    StatusCounts counts; // shown in parts 1 and 2, or to be shown when due
    bool countsDue = false;
};

// Creates the bar along the dialog's bottom edge with its parts, icons at `dpi` and first texts.
void CreateStatusBar(StatusLine& line, HWND dialog, HINSTANCE instance, UINT dpi);

// The bar's icons at `dpi`, from the images of that size.
void SetStatusIcons(StatusLine& line, UINT dpi);

// The part edges, set from the width at creation, moved as the window's DPI changes.
void ScaleStatusParts(StatusLine& line, UINT fromDpi, UINT toDpi);

// A message into the status line, cut to 1023 characters, shown at once after any run text still waiting. Does
// nothing while the status bar does not exist. Messages with values are made with fmt::format (core/text/format.h).
void SetStatus(StatusLine& line, const wchar_t* text);

// A text of an update run, shown at once or at the bar's rate as it says.
void ShowRunStatus(StatusLine& line, const StatusText& text);

// Shows the counts in parts 1 and 2 ("1 Player", "2 Players", "0 Servers", "3 of 120 Servers").
void ShowStatusCounts(StatusLine& line, const StatusCounts& counts);
// The same at the bar's rate: for counts that change with every batch of replies.
void ShowStatusCountsSoon(StatusLine& line, const StatusCounts& counts);

// Shows the waiting text and counts now.
void FlushStatus(StatusLine& line);

// The window's end: the bar lets go of its line, and what waits is not shown.
void ForgetStatusBar(StatusLine& line);
