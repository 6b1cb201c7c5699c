// What the window does on its own, beside what the user asks: the work due on the program's clock, and what it makes
// of every reply it accepts. Win32 side; user interface thread only.
#pragma once

#include <vector>

#include "core/protocol/server_record.h"
#include "core/run/server_table.h"

struct MainWindowState;

// Where an accepted reply came from.
enum class AnswerFrom {
    Run,     // an update run's (the user's or the program's own), its record in the shown table
    Watched, // a watched server's own query
};

// The records of the table that `indexes` name.
std::vector<const ServerRecord*> AnsweredRecords(const ServerTable& table, const std::vector<int32_t>& indexes);

// Every reply the window accepts comes here once, as it is delivered.
void TakeServerAnswers(MainWindowState& app, const std::vector<const ServerRecord*>& answered, AnswerFrom from);

// The timed work's tick (and the tests', after they move the program's clock): whatever is due on the clock now.
void DoTimedWork(MainWindowState& app);
