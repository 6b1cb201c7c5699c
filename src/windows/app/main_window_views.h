// Where the main window's views meet: what a change in one of them means for the others (the rows for the player
// list and the status bar, a search for both lists, a run's report for all of them), and the window's background
// work started, stopped and shown in its controls. Part of the main window; Win32 side, user interface thread only.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <memory>

#include "core/run/run_channel.h"
#include "core/watch/alert_target.h"

struct MainWindowState;
struct GameSearchEnd;

// The counts the status bar shows, as the server list and finding a game stand now.
void ShowCounts(MainWindowState& app);

// The Full/Empty boxes or finding a game changed: the rows follow, then the player list and the counts.
void RefilterServers(MainWindowState& app, bool searchChanged);

// The server list's selection may have moved: the player list shows its server's players, and while there is a
// search the status line says why the server matched (Wine's list view shows no tips).
void ShowSelectedPlayers(MainWindowState& app);

// EN_CHANGE of the search box, Esc, and CBN_SELCHANGE of the "Show" choice: the lists follow. A search that begins
// or ends also changes how both lists show it.
void OnSearchTextChanged(MainWindowState& app);
bool ClearSearch(MainWindowState& app);
void OnShowChoiceChanged(MainWindowState& app);
// The favourites or the history changed: the rows' marks are asked again, and under a choice of either the rows
// follow.
void OnServerListsChanged(MainWindowState& app);

// A click on an alert: the server list's row of the target's server is selected and in view, and the target's player
// in the player list; nothing is selected anew when the server is not listed (the filters may hide it).
void SelectAlertTarget(MainWindowState& app, const AlertTarget& target);

// The Update button, a change of mod filter, and start-up: starts a run, or asks the one in progress to abort.
void ToggleUpdate(MainWindowState& app);
// Starts a run: the user's, or the program's own (`quiet`), which keeps the table shown until it ends.
void StartRun(MainWindowState& app, bool quiet);
// The timed work's tick (and the tests', after they move the program's clock): whatever is due now, the program's
// own run among it.
void OnTimedWorkTick(MainWindowState& app);
// Stops the search for the game when one runs (Esc, the Stop button); false when none does.
bool StopSearchingGame(MainWindowState& app);
// Joins the server a row of the server list shows; nothing beside the rows (row -1).
void JoinRowServer(MainWindowState& app, int row);
// WM_APP_GAME_SEARCH_REPORT: the search's reports, and its end, which goes on with the join it was started for.
void TakeGameSearch(MainWindowState& app);

// What a take of the run's reports found: nothing (a wake-up of a run already ended), something (the caller comes
// back for more a moment later: the run does not wake it again until a take finds nothing), or the run's end.
enum class ReportTaken { Nothing, More, Ended };

// WM_APP_RUN_REPORT: takes everything the run has reported and applies it: the table shown, replies listed, status
// texts, and the run's end.
ReportTaken TakeRunReport(MainWindowState& app);

// A run of the program's own has ended: its table is shown and its answers listed at once, the list kept on the
// servers it was on (the selection, the top row, the sort).
void ShowWaitingTable(MainWindowState& app);

// The table shown from now on (null: none), its records not yet listed; both lists are emptied first, since their
// rows refer into the table shown so far.
void ShowServerTable(MainWindowState& app, std::shared_ptr<ServerTable> table);

// WM_NOTIFY from either list; returns the dialog procedure's result.
INT_PTR OnListNotify(MainWindowState& app, NMHDR* header);
