// The search of the fixed drives for the game, on a worker so that the window keeps answering and the user can stop
// it. The main dialog owns a running search (kept as a property of the dialog) and calls these on the user interface
// thread only. The worker starts from a snapshot (the executable's name, the drives to search, the dialog to report
// to), reports by posted wake-ups (windows/state/app_messages.h) and waits for the user's answer about each find, which is
// asked here on the user interface thread.
#pragma once

#include <windows.h>

#include "core/settings/settings.h"
#include "windows/views/server_list.h"

enum class GameSearchOutcome { NotFound, Accepted, Stopped };

// What an ended search hands back: how it ended, the accepted directory and the server it was started to join.
struct GameSearchEnd {
    GameSearchOutcome outcome;
    wchar_t gameDir[PATH_TEXT_SIZE];
    wchar_t address[JOIN_ADDRESS_SIZE];
};

// Starts searching the fixed drives, C: to Z: in order, for `gameExe`, to join `address` once found. While it runs,
// Update reads "Stop" and stops it, and Config and the mod filter box are disabled. Returns false and changes
// nothing when a search is already running; reports in the status line when no worker could be started.
bool StartGameSearch(HWND dialog, const wchar_t* gameExe, const wchar_t* address);

// Asks the running search to stop (Esc, the Stop button); it ends with Stopped. False when none is running.
bool StopGameSearch(HWND dialog);

bool GameSearchRunning(HWND dialog);

// WM_APP_GAME_SEARCH_DRIVE: the status line names the drive being searched.
void OnGameSearchDrive(HWND dialog, LPARAM drive);
// WM_APP_GAME_SEARCH_FOUND: asks the user about the find the worker waits on, unless the search was stopped.
void OnGameSearchFound(HWND dialog);
// WM_APP_GAME_SEARCH_END: when the dialog's search has ended, fills `end`, waits for the worker's last step and
// gives the controls back; false for a wake-up that belongs to no ended search.
bool TakeGameSearchEnd(HWND dialog, GameSearchEnd& end);

// The end of an update run has put the controls back as for no run: the running search, if any, takes them again.
void KeepSearchControls(HWND dialog);

// The dialog's end: stops a running search and waits for its worker for a bounded time. A worker that outlives the
// wait holds its own share of the search's state and finds the dialog gone.
void EndGameSearchForExit(HWND dialog);
