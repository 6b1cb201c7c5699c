// Joining a server: the game is found if need be (windows/launch/game_search.h, on a worker) and started with a command
// line that connects it to the server, and the program ends. Win32 side; user interface thread only.
#pragma once

#include <windows.h>
#include <commctrl.h>

struct AppState;
struct GameSearchEnd;

// NM_DBLCLK on the server list: joins the clicked server. A click beside the rows (item -1) does nothing.
void ConnectToServer(AppState& app, const NMITEMACTIVATE& activation);

// Starts the game connecting to `address` and destroys the main dialog, which saves the settings. While gameDir is
// empty, starts the search for the game instead (a request during a search is dropped), and the join goes on at its
// end. Failures are reported in the status line and a message box, and the program stays.
void JoinServer(AppState& app, const wchar_t* address);

// The search for the game has ended: an accepted find becomes gameDir and the join goes on with the address kept at
// its start; no find ends in the "Can't find Quake II" box, and a stopped search is reported in the status line.
void OnGameSearchEnded(AppState& app, const GameSearchEnd& end);
