// An update run: gathers the servers of every master at once (and the favourites, and the remembered list when no
// master answers), shows its table as soon as the first servers come, asks every server for its status
// (core/run/query_engine.h), remembers the masters' servers and ends with the facts of its closing line. It tells
// the window what happens as events (core/run/run_events.h) and formats no text. Portable (no Win32): the same code
// runs in the program and natively under ThreadSanitizer.
//
// A run owns itself: it starts from an immutable snapshot, runs on a worker of its own (core/worker/worker.h) that
// holds it, and reports only through its channel. Its threads never touch a window or anything of the program's.
// Who touches what:
//   - the controller (Main) alone: the gathering's progress, the run's notes and the closing line;
//   - the table's lock guards the servers and their queries (core/run/run_table.h);
//   - the master workers write only the gathering's inbox (core/run/master_gathering.h);
//   - `aborted` and `finished` are atomics, read anywhere; `progress` wakes the controller for any of them.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/run/master_gathering.h"
#include "core/run/run_channel.h"
#include "core/run/run_snapshot.h"
#include "core/run/run_table.h"

class UpdateRun {
public:
    // `wake` is the channel's (core/worker/waking_channel.h), called from the run's threads.
    UpdateRun(RunSnapshot snapshot, ListFetcher fetch, RememberedStore remembered, std::function<void()> wake);
    UpdateRun(const UpdateRun&) = delete;
    UpdateRun& operator=(const UpdateRun&) = delete;

    // The controller's whole life, on the run's worker; the run's end is its last report.
    void Main();
    // No worker could be had: the run ends without having begun.
    void EndUnstarted() { Finish(RunEnd{}); }

    // Asks the run to end at its next step: downloads are cancelled and its closing line says "Aborted". Any thread.
    void Abort();
    bool Aborted() const { return aborted_; }
    // The controller has ended, and with it the receiver: the run no longer uses its socket.
    bool Finished() const { return finished_; }

    RunChannel& Channel() { return channel_; }
    const std::vector<MasterEntry>& Masters() const { return snapshot_.masters; }

private:
    bool TakeArrivals();
    // Merges entries of a master or the LAN, counting what each named.
    void Merge(const unsigned char* entries, size_t length, SourceSet source);
    void NoteRefused(const MergeCount& count);
    void MergeFavourites();
    void MergeServers(const std::vector<FavouriteServer>& servers, SourceSet source, int32_t sourceIndex);
    void ShowTable();
    void EndSource(SourceResult result);
    void FallBackWhenNoMasterAnswered();
    void Remember();
    void EndWithoutServers();
    RunEnd ClosingFacts(bool aborted, bool outOfMemory);
    void Finish(RunEnd end);

    const RunSnapshot snapshot_;
    const ListFetcher fetch_;
    const RememberedStore remembered_;
    RunChannel channel_;
    std::atomic<bool> aborted_{false};
    std::atomic<bool> finished_{false};
    const std::shared_ptr<WakeSignal> progress_;
    RunTable table_;

    // The controller's own.
    std::shared_ptr<MasterGathering> gathering_;
    bool tableShown_ = false;
    bool gatheringOver_ = false;
    bool masterAnswered_ = false;
    bool tooMany_ = false;
    std::vector<size_t> named_;          // by master index, then the LAN: servers each named so far
    std::vector<SourceResult> failures_; // the sources that failed, in the order they ended
    std::u16string rememberedFault_;     // why the remembered list was not used (its fault), when it was there
    bool usedRemembered_ = false;
    int64_t rememberedAt_ = 0;
};
