// What an update run's threads share, in one place: who writes each thing and under which guard. Portable (no
// Win32); only core/run/update_run.cpp includes it.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "core/run/address_index.h"
#include "core/run/datagram_socket.h"
#include "core/run/in_flight.h"
#include "core/run/master_gathering.h"
#include "core/run/run_channel.h"
#include "core/run/run_handle.h"
#include "core/run/server_table.h"

enum class WaitEnd { AllAnswered, Abort, Other };
enum class QueryOutcome { Sent, Skipped, Aborted };

// Everything a run's threads share. The controller thread makes the table, the socket and the receiver when the
// first servers arrive; after that:
//   - `tableMutex` guards `merged` and the table's growth (only the controller adds servers), each record's
//     answered, queryTime and attempts, the in-flight window, `unanswered` and `allAnswered`; the receiver fills
//     the rest of a record only after it has marked it answered under the lock, and hands it to the channel when
//     done, after which no thread of the run writes it again (but for its sources, an atomic);
//   - `progress` wakes the controller when the window has room, every server has answered, a master delivered or
//     ended, or the run is aborted: set after the change, so a waiter that tested under the lock before it and
//     waits after it returns at once;
//   - the master threads write only the gathering's inbox (core/run/master_gathering.h);
//   - `aborted` and `finished` are atomics, read anywhere;
//   - the channel keeps its queue under a lock of its own, held only to push or take (core/run/run_channel.h); a record
//     handed over through it, and the table, are read by the window's thread from then on.
// The window keeps only its RunHandle handle, and the table it shows (shared with the run that fills it).
struct UpdateRun {
    UpdateRun(RunSnapshot snapshotIn, ListFetcher fetchIn, RememberedStore rememberedIn, std::function<void()> wake)
        : snapshot(std::move(snapshotIn)), fetch(std::move(fetchIn)), remembered(std::move(rememberedIn)),
          channel(std::move(wake)) {}

    void Main();
    void Abort();

    const RunSnapshot snapshot;
    const ListFetcher fetch;
    const RememberedStore remembered;
    RunChannel channel;
    std::atomic<bool> aborted{false};
    std::atomic<bool> finished{false};
    std::mutex finishMutex;
    std::condition_variable finishedSignal;

    std::mutex tableMutex;
    const std::unique_ptr<WakeSignal> progress = MakeWakeSignal();
    std::shared_ptr<ServerTable> table; // set once by the controller before the receiver starts
    AddressIndex merged{MAX_RUN_SERVERS}; // the table's servers in its order, with their sources
    bool tableFull = false;                // no memory was left for a record: nothing more is merged
    std::unique_ptr<DatagramSocket> socket;
    InFlightWindow inFlight;
    int32_t unanswered = 0;
    bool allAnswered = false;

private:
    // The controller's own: how the gathering stands.
    std::unique_ptr<MasterGathering> gathering;
    bool gatheringOver = false;
    bool masterAnswered = false;
    std::vector<std::u16string> failures; // the failures of the masters that failed, as the status line said them
    std::u16string rememberedFault; // why the remembered list was not used, when it was there
    bool usedRemembered = false;
    int64_t rememberedAt = 0;

    bool TakeGathered();
    void MergeEntries(const unsigned char* entries, size_t length, SourceSet source);
    void FallBackWhenNoMasterAnswered();
    bool StartTable();
    void Remember();
    void EndWithoutServers();

    void QueryServers();
    void RunPasses();
    bool RunPass(uint32_t pacingMs, bool freshOnly);
    WaitEnd GraceWait(uint32_t pacingMs);
    QueryOutcome QueryIfDue(int32_t index, bool unpaced, bool freshOnly);
    WaitEnd WaitForAnswersOrAbort(uint32_t timeoutMs);
    bool AnyToRetry();
    void Receive();
    void Accept(const char* datagram, size_t length, uint32_t addr, uint16_t port, uint32_t arrival, bool fresh,
                bool backlogged);
    int32_t CountUnansweredNow();
    void Finish();
};
