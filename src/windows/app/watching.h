// What the window does on its own, beside what the user asks: its own update runs at the interval the user set, the
// watched servers' queries, the join that waits for a free slot, and what it makes of every reply it accepts.
// Win32 side; user interface thread only.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/protocol/server_record.h"
#include "core/run/run_channel.h"
#include "core/run/server_table.h"
#include "windows/state/watching_state.h"

struct MainWindowState;

// Where an accepted reply came from.
enum class AnswerFrom {
    Run,     // an update run's (the user's or the program's own), its record in the run's table
    Watched, // a watched server's own query
};

// The records of the table that `indexes` name.
std::vector<const ServerRecord*> AnsweredRecords(const ServerTable& table, const std::vector<int32_t>& indexes);

// Every reply the window accepts comes here once, as it is delivered. A reply with room on the server a join waits
// for starts that join, as a double-click does, which may close the window.
void TakeServerAnswers(MainWindowState& app, const std::vector<const ServerRecord*>& answered, AnswerFrom from);

// Whatever is due on the program's clock now: the watched servers' queries; true when the program's own update
// run is due, for the caller to start (windows/app/main_window_views.h OnTimedWorkTick).
bool DoTimedWork(MainWindowState& app);

// What the window tells the timed work: an update run began (the user's or the program's own); a keystroke in the
// search box; a run's query to a server, which counts for a watched one.
void NoteRunStarted(MainWindowState& app);
void NoteSearchKeystroke(MainWindowState& app);
void NoteRunQuery(MainWindowState& app, uint32_t addr, uint16_t port);
// A run ended: a run of the program's own shows its table now, and the line of a join still waiting comes back.
void OnRunEnded(MainWindowState& app, const RunEnd& end);

// WM_APP_WATCH_REPORT: the watched servers' answers.
void TakeWatchAnswers(MainWindowState& app);

// The server menu's "Watch This Server" (on or off, saved with the settings; the rows' marks are the caller's to
// ask again) and "Join When a Slot Frees".
void ToggleWatched(MainWindowState& app, uint32_t addr, uint16_t port);
void WaitForSlot(MainWindowState& app, uint32_t addr, uint16_t port, const std::u16string& name);
// Esc and the menu: false when no join was waiting.
bool CancelSlotWait(MainWindowState& app);

// The window ends: the watched queries stop.
void StopWatching(WatchingState& watching);
