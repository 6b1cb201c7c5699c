// The window's side of the servers' history: read at start-up (or once "Keep Server History" is turned on), a sample
// of every accepted reply, the saves on the timed work's tick and at the end, and the note of a file set aside. With
// the setting off nothing is sampled, read or written. Win32 side; user interface thread only.
#pragma once

#include <string>
#include <vector>

#include "core/history/history_keeper.h"
#include "core/protocol/server_record.h"
#include "core/settings/configuration.h"
#include "core/worker/program_clock.h"

struct HistoryKeeping {
    HistoryKeeper keeper{ServerHistoryFiles()};
    std::wstring note; // for the status line, once no run is writing there
};

// Reads the file unless it has been read, while the history is kept.
void StartHistory(HistoryKeeping& history, const Configuration& config, ProgramClock& clock);
// The replies' samples, at the clock's time.
void KeepSamples(HistoryKeeping& history, const Configuration& config, ProgramClock& clock,
                 const std::vector<const ServerRecord*>& answered);
// A save on a worker, when one is due.
void SaveHistoryWhenDue(HistoryKeeping& history, const Configuration& config, ProgramClock& clock);
// The last save, on this thread: the window is closing.
void SaveHistoryAtEnd(HistoryKeeping& history, const Configuration& config, ProgramClock& clock);
// The note waiting for the status line (and none after it).
std::wstring TakeHistoryNote(HistoryKeeping& history);
