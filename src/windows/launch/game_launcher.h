// Joining a server: the game is found if need be (windows/launch/game_search.h, on a worker) and started with a command
// line that connects it to the server, and the program ends. Win32 side; user interface thread only.
#pragma once

#include <windows.h>

#include <memory>

#include "core/settings/configuration.h"
#include "windows/state/server_lists.h"
#include "windows/views/status_bar.h"

struct GameSearch;
struct GameSearchEnd;

// What a join works with: the window (which a join ends), the configuration that says where the game is (found and
// kept on the way), the history it goes first in, the status line, and the search for the game while one runs.
struct JoinHost {
    HWND dialog;
    Configuration& config;
    ServerLists& lists;
    StatusLine& status;
    std::shared_ptr<GameSearch>& search;
};

// Starts the game connecting to `address` and destroys the main dialog, which saves the settings. While gameDir is
// empty, starts the search for the game instead (a request during a search is dropped), and the join goes on at its
// end. Failures are reported in the status line and a message box, and the program stays.
void JoinServer(JoinHost host, const wchar_t* address);
// The same for a server by its address (network byte order) and port.
void JoinServer(JoinHost host, uint32_t addr, uint16_t port);

// The search for the game has ended: an accepted find becomes gameDir and the join goes on with the address kept at
// its start; no find ends in the "Can't find Quake II" box, and a stopped search is reported in the status line.
void OnGameSearchEnded(JoinHost host, const GameSearchEnd& end);
