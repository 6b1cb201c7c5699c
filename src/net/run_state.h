// What an update run's threads share, in one place: who writes each thing and under which guard. Portable (no
// Win32); only net/query_run.cpp includes it.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <unordered_map>

#include "net/datagram_socket.h"
#include "net/in_flight.h"
#include "net/query_run.h"
#include "net/run_channel.h"
#include "net/server_table.h"

enum class WaitEnd { AllAnswered, Abort, Other };
enum class QueryOutcome { Sent, Skipped, Aborted };

// Everything a run's threads share. The controller thread builds the table and the socket before the receiver
// starts; after that:
//   - `tableMutex` guards each record's answered, queryTime and attempts, the in-flight window, `unanswered` and
//     `allAnswered`; the receiver fills the rest of a record only after it has marked it answered under the lock,
//     and hands it to the channel when done, after which no thread of the run writes it again;
//   - `progress` wakes the sender when the window has room, every server has answered, or the run is aborted: set
//     after the change, so a sender that tested under the lock before it and waits after it returns at once;
//   - `aborted` and `finished` are atomics, read anywhere;
//   - the channel keeps its queue under a lock of its own, held only to push or take (net/run_channel.h); a record
//     handed over through it, and the table, are read by the window's thread from then on and written by no one.
// The window keeps only its QueryRun handle, and the table it shows (shared with the run that fills it).
struct RunState {
    RunState(RunSnapshot snapshotIn, ListFetcher fetchIn, std::function<void()> wake)
        : snapshot(std::move(snapshotIn)), fetch(std::move(fetchIn)), channel(std::move(wake)) {}

    void Main();
    void Abort();

    const RunSnapshot snapshot;
    const ListFetcher fetch;
    RunChannel channel;
    std::atomic<bool> aborted{false};
    std::atomic<bool> finished{false};
    std::mutex finishMutex;
    std::condition_variable finishedSignal;

    // Set before the receiver starts, read-only for it.
    std::shared_ptr<ServerTable> table;
    std::unique_ptr<DatagramSocket> socket;

    std::mutex tableMutex;
    const std::unique_ptr<WakeSignal> progress = MakeWakeSignal();
    InFlightWindow inFlight;
    int32_t unanswered = 0;
    bool allAnswered = false;

private:
    void QueryServers();
    void RunPasses();
    bool RunPass(uint32_t pacingMs);
    QueryOutcome QueryIfUnanswered(int32_t index, bool unpaced);
    WaitEnd WaitForAnswersOrAbort(uint32_t timeoutMs);
    void Receive();
    void Accept(const std::unordered_map<uint64_t, int32_t>& indices, const char* datagram, size_t length,
                uint32_t addr, uint16_t port, uint32_t arrival, bool fresh, bool backlogged);
    int32_t CountUnansweredNow();
    void Finish();
};

