// The query phase of an update run: every server of the run's table is asked for its status over UDP, paced, in up
// to QUERY_PASSES passes, with the replies read on a receiver thread of its own. Portable (no Win32).
//
// The engine runs on the run's controller thread and owns its socket and its receiver, which it joins before it
// returns. The table grows while it runs: the sources' new servers join the pass under way, or are asked at once
// during the wait for the last replies.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>

#include "core/run/datagram_socket.h"
#include "core/run/run_channel.h"
#include "core/run/run_table.h"
#include "core/text/ansi_decoder.h"

// The run's tuning, named so that benchmarks and tests can say what they measured.
constexpr int32_t QUERY_PASSES = 3;
constexpr uint32_t GRACE_WAIT_MS = 1000;
constexpr size_t REPLY_DATAGRAM_SIZE = 4096;

// What the passes ask of the run around them, on the controller thread.
struct QuerySources {
    std::function<bool()> takeArrivals; // merges what the sources sent since the last call; true when the table grew
    std::function<bool()> done;         // every source has ended
};

class QueryEngine {
public:
    QueryEngine(RunTable& table, RunChannel& channel, WakeSignal& progress, const std::atomic<bool>& aborted,
                uint32_t pacingMs, AnsiDecoder decode);
    QueryEngine(const QueryEngine&) = delete;
    QueryEngine& operator=(const QueryEngine&) = delete;

    // Opens the socket and runs the passes and the waits after them until every server has answered and the
    // sources are done, the passes are spent, or the run is aborted; the receiver has ended when it returns. False
    // when no socket could be had (the status line says why).
    bool Run(const QuerySources& sources);

    // No record could be had for a server: the servers from then on were not asked.
    bool OutOfMemory() const { return outOfMemory_; }

private:
    enum class WaitEnd { AllAnswered, Abort, Other };

    void RunPasses(const QuerySources& sources);
    bool RunPass(const QuerySources& sources, int32_t attemptsBelow);
    // Sends the query of server `index` if it is due (the pass's first query says the pass began); false when the
    // run was aborted or is out of memory.
    bool QueryIfDue(size_t index, int32_t attemptsBelow, bool* sent, bool* passBegan);
    WaitEnd Await(uint32_t timeoutMs, const QuerySources* sources);
    void Receive();

    RunTable& table_;
    RunChannel& channel_;
    WakeSignal& progress_;
    const std::atomic<bool>& aborted_;
    const uint32_t pacingMs_;
    const AnsiDecoder decode_;
    std::unique_ptr<DatagramSocket> socket_; // made by Run, used by both threads until the receiver is joined
    bool outOfMemory_ = false;
};
