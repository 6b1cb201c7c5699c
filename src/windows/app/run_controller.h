// Update runs on the window's side: the Update/Abort switch, the run's snapshot, and its reports applied to what
// the window shows. Win32 side; user interface thread only. The run itself is core/run/run_handle.h.
#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "core/run/server_table.h"

struct AppState;

// With no run in progress starts one (Update reads "Abort", Config and the mod filter box are disabled); during a
// run asks it to abort (the Abort button is disabled until the run ends).
void ToggleUpdate(AppState& app);

// What a take found: nothing (a wake-up of a run already ended), something (the caller comes back for more a
// moment later: the run does not wake it again until a take finds nothing), or the run's end.
enum class ReportTaken { Nothing, More, Ended };

// WM_APP_RUN_REPORT: takes everything the run has reported and applies it: the table released or shown, replies
// listed, status texts, and the run's end.
ReportTaken TakeRunReport(AppState& app);

// Shows `table` from now on (null: none), its records not yet listed; both lists are emptied first, since their
// rows refer into the table shown so far.
void ShowServerTable(AppState& app, std::shared_ptr<ServerTable> table);

// Puts the controls back and ends the run; the run's last report calls it.
void EndUpdateRun(AppState& app);
