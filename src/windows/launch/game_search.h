// The search of the fixed drives for the game, on a worker so that the window keeps answering and the user can stop
// it. Win32 side; user interface thread only.
//
// The window's state holds the running search. Its worker walks the drives (windows/launch/game_locator.h) and
// reports through a channel the window drains (WM_APP_GAME_SEARCH_REPORT): each drive it enters, and the find it
// stops at or its end. A find is asked about here, on the user interface thread; a declined one starts the next
// worker where the last one stopped, so no thread ever waits for the user.
#pragma once

#include <windows.h>

#include <memory>

#include "core/settings/settings.h"
#include "windows/views/server_list.h"
#include "windows/views/status_bar.h"

struct GameSearch;

// Where a search lives and what it tells: the window woken by its reports, its place in the window's state (null
// while none runs), and the status line that names each drive it enters.
struct GameSearchHost {
    HWND dialog;
    std::shared_ptr<GameSearch>& search;
    StatusLine& status;
};

// Failed: a worker could not be had to walk on after a declined find (the status line says so).
enum class GameSearchOutcome { NotFound, Accepted, Stopped, Failed };

// What an ended search hands back: how it ended, the accepted directory and the server it was started to join.
struct GameSearchEnd {
    GameSearchOutcome outcome;
    wchar_t gameDir[PATH_TEXT_SIZE];
    wchar_t address[JOIN_ADDRESS_SIZE];
};

// Starts searching the fixed drives, C: to Z: in order, for `gameExe`, to join `address` once found (while it runs,
// the window's Update button stops it). Returns false and changes nothing when a search is already running; reports
// in the status line when no worker could be started.
bool StartGameSearch(GameSearchHost host, const wchar_t* gameExe, const wchar_t* address);

// Asks the running search to stop (Esc, the Stop button); it ends with Stopped. False when none is running.
bool StopGameSearch(const std::shared_ptr<GameSearch>& search);

// Whether the running search's worker has stopped at a find, which waits, maybe still unseen in the channel, for the
// user's answer.
bool GameSearchStoppedAtFind(const std::shared_ptr<GameSearch>& search);

// WM_APP_GAME_SEARCH_REPORT: the status line names each drive entered, and each find is asked about (none once the
// search is stopped). True, with `end` filled and the search let go, when the search has ended.
bool TakeGameSearchReports(GameSearchHost host, GameSearchEnd& end);

// The window's end: the running search is asked to stop and let go. Its worker, if one walks, ends on its own at its
// next step.
void EndGameSearchForExit(std::shared_ptr<GameSearch>& search);
