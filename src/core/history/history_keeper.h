// The servers' history as the window keeps it: read once, fed every accepted reply, saved on a worker at most once a
// minute and once more at the program's end. Portable (no Win32); the user interface thread owns the keeper, and
// its save workers hold what they use themselves (a copy of the servers and the shared writer).
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "core/history/history_file.h"
#include "core/history/history_files.h"
#include "core/history/server_history.h"

constexpr uint64_t HISTORY_SAVE_INTERVAL_MS = 60 * 1000;

// What reading the file found.
struct HistoryLoad {
    bool found = false; // a file was there
    HistoryFileKind kind = HistoryFileKind::Read;
    std::u16string setAsideAs; // the damaged or foreign file's new name; empty when it could not be renamed
};

// Starts work on a thread of its own; false when it could not (the work did not run).
using WorkStarter = std::function<bool(std::function<void()>)>;

class HistoryKeeper {
public:
    explicit HistoryKeeper(HistoryFiles files, WorkStarter start = nullptr, HistoryLimits limits = {});

    bool Loaded() const { return loaded_; }
    // Reads the file (once): a damaged or foreign file is set aside, and the history starts afresh; one that cannot
    // be set aside stays, and this history is never saved.
    HistoryLoad Load(int64_t now);
    void Take(uint32_t addr, uint16_t port, const HistorySample& sample) { histories_.Add(addr, port, sample); }
    // Starts a save when the history changed since the last, that began a minute or more before `nowMs` (on a clock
    // that never goes back), and none is under way. True when one started.
    bool SaveWhenDue(uint64_t nowMs, int64_t now);
    // Encodes and writes on this thread, after a save under way: at the program's end. True when written.
    bool SaveNow(int64_t now);
    // A save's work is still running.
    bool Saving() const;

    const ServerHistories& Histories() const { return histories_; }

private:
    struct Writer;
    std::shared_ptr<Writer> writer_;
    WorkStarter start_;
    ServerHistories histories_;
    bool loaded_ = false;
    bool blocked_ = false; // a damaged file could not be set aside: nothing is saved over it
    bool savedOnce_ = false;
    uint64_t lastSaveMs_ = 0;
    uint64_t savedChanges_ = 0; // the history's Changes() at the last save (or the load)
    uint64_t generation_ = 0;   // of the snapshots handed to the writer
};
