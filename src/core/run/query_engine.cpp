#include "core/run/query_engine.h"

#include <system_error>
#include <thread>

#include "core/protocol/status_reply.h"
#include "core/run/query_pacing.h"

namespace {

// Asked of the socket layer so that a burst of replies waits in the socket, not on the wire's floor; a smaller
// buffer is taken as it comes (Linux under Wine caps it at its own limit).
constexpr int RECEIVE_BUFFER_BYTES = 4 * 1024 * 1024;
// A datagram read this long after the receiver woke to an empty socket arrived no earlier than the wake: it waited
// in the socket at most this long, so its time is the server's and may steer the in-flight window.
constexpr uint32_t FRESH_MS = 2;
// Reading on this long without the socket running dry shows a backlog: the receiver drains fewer than arrive, so
// the in-flight window is cut back, once every this long while it lasts.
constexpr uint32_t BACKLOG_MS = 4;
// How long an unpaced pass at its limit waits for room before it looks for expired queries itself.
constexpr uint32_t IN_FLIGHT_WAIT_MS = 10;

} // namespace

QueryEngine::QueryEngine(RunTable& table, RunChannel& channel, WakeSignal& progress, const std::atomic<bool>& aborted,
                         uint32_t pacingMs, AnsiDecoder decode)
    : table_(table), channel_(channel), progress_(progress), aborted_(aborted), pacingMs_(pacingMs), decode_(decode) {}

bool QueryEngine::Run(const QuerySources& sources) {
    int error = 0;
    socket_ = OpenDatagramSocket(RECEIVE_BUFFER_BYTES, error);
    if (!socket_) {
        channel_.Push(run_event::SendFailed{error, true}, true);
        return false;
    }
    FineTimerScope fineTimer;
    std::thread receiver;
    try {
        receiver = std::thread([this] { Receive(); });
    } catch (const std::system_error&) {
        // No receiver: the passes still run and nothing is accepted.
    }
    RunPasses(sources);
    socket_->Interrupt();
    if (receiver.joinable()) {
        receiver.join();
    }
    socket_.reset();
    return true;
}

// Passes and grace waits; returns when the query phase is over, however it ended. While sources still deliver,
// passes go on for the servers they add, each server asked at most QUERY_PASSES times.
void QueryEngine::RunPasses(const QuerySources& sources) {
    for (;;) {
        // An abort in the grace wait is seen by the next pass, which sends its first query before it looks.
        if (!RunPass(sources, QUERY_PASSES) || Await(GRACE_WAIT_MS, &sources) == WaitEnd::AllAnswered) {
            return;
        }
        if (sources.done() && !table_.AnyToRetry(QUERY_PASSES)) {
            return;
        }
    }
}

// One pass over the table, taking in the servers that arrive meanwhile; `attemptsBelow` 1 asks only servers never
// asked. Returns false when the run was aborted or is out of memory.
bool QueryEngine::RunPass(const QuerySources& sources, int32_t attemptsBelow) {
    PacingClock pacing(RunClockMs(), pacingMs_);
    bool began = false;
    for (size_t index = 0;; ++index) {
        sources.takeArrivals();
        if (index >= table_.Size()) {
            break;
        }
        bool sent = false;
        if (!QueryIfDue(index, attemptsBelow, &sent, &began)) {
            return false;
        }
        // An abort is looked for once a query has gone out: paced in the wait before the next, unpaced at once.
        if (sent &&
            (pacingMs_ == 0 ? aborted_.load() : Await(pacing.WaitForNext(RunClockMs()), nullptr) == WaitEnd::Abort)) {
            return false;
        }
    }
    return !aborted_;
}

// The table is not locked for the send: the receiver never waits for a system call of this thread.
bool QueryEngine::QueryIfDue(size_t index, int32_t attemptsBelow, bool* sent, bool* passBegan) {
    QueryClaim claim;
    for (;;) {
        claim = table_.ClaimQuery(index, attemptsBelow, RunClockMs());
        if (claim.outcome != ClaimOutcome::NoRoom) {
            break;
        }
        if (aborted_) {
            return false;
        }
        progress_.Wait(IN_FLIGHT_WAIT_MS);
    }
    if (claim.outcome == ClaimOutcome::NoMemory) {
        outOfMemory_ = true;
        return false;
    }
    *sent = claim.outcome == ClaimOutcome::Send;
    if (!*sent) {
        return true;
    }
    if (!*passBegan) {
        *passBegan = true;
        channel_.Push(run_event::PassBegan{claim.attempt});
    }
    channel_.Push(run_event::Query{claim.addr, claim.port, claim.attempt});
    int error = socket_->SendTo(claim.addr, claim.port, STATUS_QUERY, STATUS_QUERY_SIZE);
    if (error != 0) {
        channel_.Push(run_event::SendFailed{error, false});
        table_.QueryNotSent(index);
    }
    return true;
}

// Waits for the run's progress: AllAnswered once every server has answered, Abort on an abort, Other once
// `timeoutMs` have passed. With `sources` it is the wait after a pass for the last replies: AllAnswered only once
// every source is done too, and servers that arrive meanwhile are asked at once, the wait starting again after the
// last of them.
QueryEngine::WaitEnd QueryEngine::Await(uint32_t timeoutMs, const QuerySources* sources) {
    uint32_t start = RunClockMs();
    for (;;) {
        if (sources && sources->takeArrivals()) {
            if (!RunPass(*sources, 1)) {
                return WaitEnd::Abort;
            }
            start = RunClockMs();
        }
        if (table_.AllAnswered() && (!sources || sources->done())) {
            return WaitEnd::AllAnswered;
        }
        if (aborted_) {
            return WaitEnd::Abort;
        }
        uint32_t waited = RunClockMs() - start;
        if (waited >= timeoutMs) {
            return WaitEnd::Other;
        }
        progress_.Wait(timeoutMs - waited);
    }
}

// Reads every datagram as soon as it arrives, each stamped the moment it is read, until the socket is interrupted.
// A reply to a query of this run fills its record, which then goes to the window.
void QueryEngine::Receive() {
    char datagram[REPLY_DATAGRAM_SIZE + 1];
    while (socket_->WaitReadable()) {
        // The socket was empty when the receiver last waited: what it reads from here on arrived after that.
        uint32_t woke = RunClockMs();
        uint32_t lastBacklog = woke;
        for (;;) {
            size_t length = 0;
            uint32_t addr = 0;
            uint16_t port = 0;
            ReceiveStatus status = socket_->ReceiveFrom(datagram, REPLY_DATAGRAM_SIZE, length, addr, port);
            uint32_t now = RunClockMs();
            ReplyReading reading{now, ElapsedMs(woke, now) <= FRESH_MS, ElapsedMs(lastBacklog, now) >= BACKLOG_MS};
            if (reading.backlogged) {
                lastBacklog = now;
            }
            if (status == ReceiveStatus::Empty) {
                break;
            }
            if (status == ReceiveStatus::Skipped || length == 0) {
                continue;
            }
            int32_t index = 0;
            uint32_t queryTime = 0;
            ServerRecord* record = table_.AcceptReply(addr, port, reading, &index, &queryTime);
            if (!record) {
                continue;
            }
            datagram[length] = 0;
            ParseStatusText(datagram, static_cast<int>(length), decode_, *record);
            record->ping = ElapsedMs(queryTime, reading.arrival);
            channel_.Push(run_event::Answered{index});
        }
    }
}
