// The main window's status bar: part 0 the status line, part 1 the player count, part 2 the server count.
#pragma once

// Creates the bar along the main dialog's bottom edge with its parts, icons and first texts.
void CreateStatusBar();

// printf-style (%s wide, %S narrow) message into the status line, cut to 1023 characters. Callable from any
// thread; does nothing while the status bar does not exist.
void SetStatus(const wchar_t* format, ...);

// Shows shownPlayers and shownServers in parts 1 and 2 ("1 Player", "2 Players", "0 Servers").
void UpdateStatusCounts();
