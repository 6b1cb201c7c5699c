#include "net/query_run.h"

#include <chrono>
#include <system_error>

#include "net/query_pacing.h"
#include "net/run_state.h"
#include "net/run_texts.h"

namespace {

// How far a pass may fall behind its pacing and still catch up, rather than start counting afresh.
constexpr uint32_t PACING_BACKLOG_MS = 100;
// Asked of the socket layer so that a burst of replies waits in the socket, not on the wire's floor; a smaller
// buffer is taken as it comes (Linux under Wine caps it at its own limit).
constexpr int RECEIVE_BUFFER_BYTES = 4 * 1024 * 1024;
// An unpaced pass keeps at most this many young queries in flight, so that the replies to them fit the socket's
// buffer whatever it was granted.
constexpr int32_t IN_FLIGHT_LIMIT = 256;
// A query older than this no longer holds its place in flight (its reply is still taken).
constexpr uint32_t IN_FLIGHT_EXPIRY_MS = 250;
// Replies read after this many others without the socket running dry may have waited in it: their times are not
// the servers' and do not steer the in-flight window.
constexpr int FRESH_READS = 16;
// Replies read after this many others without the socket running dry show a backlog: the receiver drains fewer than
// arrive, so the in-flight window is cut back.
constexpr int BACKLOG_READS = 16;
// How long a handle that goes without Stop waits for its aborted run before it leaves it to end on its own.
constexpr uint32_t HANDLE_END_WAIT_MS = 1000;
// How long an unpaced pass at its limit waits for room before it looks for expired queries itself.
constexpr uint32_t IN_FLIGHT_WAIT_MS = 10;

// Each query is due one pacing interval after the one before it was due, not after its wait ended, so that the time
// each step takes does not add up over a pass. Two queries are still never closer than an interval less the clock's
// millisecond, so a pass catches up on a stall slowly; one that falls behind by more than PACING_BACKLOG_MS starts
// the count afresh rather than sending a burst.
struct PacingClock {
    uint32_t due;
    uint32_t interval;

    // Called just after a query went out; returns how long to wait.
    uint32_t WaitForNext() {
        uint32_t now = RunClockMs();
        due += interval;
        uint32_t backlog = interval > PACING_BACKLOG_MS ? interval : PACING_BACKLOG_MS;
        if (static_cast<int32_t>(now - due) > static_cast<int32_t>(backlog)) {
            due = now + interval;
        }
        uint32_t shortest = interval > 0 ? interval - 1 : 0;
        uint32_t untilDue = static_cast<int32_t>(due - now) > 0 ? due - now : 0;
        return untilDue > shortest ? untilDue : shortest;
    }
};

} // namespace

void RunState::Abort() {
    aborted = true;
    progress->Set();
}

WaitEnd RunState::WaitForAnswersOrAbort(uint32_t timeoutMs) {
    uint32_t start = RunClockMs();
    for (;;) {
        {
            std::lock_guard<std::mutex> lock(tableMutex);
            if (allAnswered) {
                return WaitEnd::AllAnswered;
            }
        }
        if (aborted) {
            return WaitEnd::Abort;
        }
        uint32_t waited = RunClockMs() - start;
        if (waited >= timeoutMs) {
            return WaitEnd::Other;
        }
        progress->Wait(timeoutMs - waited);
    }
}

int32_t RunState::CountUnansweredNow() {
    std::lock_guard<std::mutex> lock(tableMutex);
    return unanswered;
}

// Sends the query of record `index` if it is still unanswered and, unpaced, once there is room in flight. The lock
// is held for the record's test and bookkeeping only, not for the send: the receiver never waits for a system call
// of this thread.
QueryOutcome RunState::QueryIfUnanswered(int32_t index, bool unpaced) {
    ServerRecord& record = (*table)[static_cast<size_t>(index)];
    std::unique_lock<std::mutex> lock(tableMutex);
    uint32_t now = 0;
    for (;;) {
        if (record.answered) {
            return QueryOutcome::Skipped;
        }
        now = RunClockMs();
        if (!unpaced || HasRoomInFlight(inFlight, now, IN_FLIGHT_EXPIRY_MS)) {
            break;
        }
        if (aborted) {
            return QueryOutcome::Aborted;
        }
        lock.unlock();
        progress->Wait(IN_FLIGHT_WAIT_MS);
        lock.lock();
    }
    int32_t attempt = ++record.attempts;
    record.queryTime = now;
    if (unpaced) {
        NoteQueryInFlight(inFlight, index, record.queryTime);
    }
    lock.unlock();

    channel.PushStatus(QueryText(record.addr, record.port, attempt));
    int error = socket->SendTo(record.addr, record.port, STATUS_QUERY, STATUS_QUERY_SIZE);
    if (error != 0) {
        channel.PushStatus(SendFailedText(error));
        if (unpaced) {
            lock.lock();
            // No reply will come to take its place.
            if (SettleInFlight(inFlight, index)) {
                progress->Set();
            }
        }
    }
    return QueryOutcome::Sent;
}

// One pass over the table. Returns false when the run was aborted.
bool RunState::RunPass(uint32_t pacingMs) {
    bool unpaced = pacingMs == 0;
    int32_t count = static_cast<int32_t>(table->size());
    if (unpaced) {
        std::lock_guard<std::mutex> lock(tableMutex);
        ResetInFlight(inFlight, count, IN_FLIGHT_LIMIT);
    }
    PacingClock pacing{RunClockMs(), pacingMs};
    for (int32_t index = 0; index < count; ++index) {
        QueryOutcome outcome = QueryIfUnanswered(index, unpaced);
        if (outcome == QueryOutcome::Aborted) {
            return false;
        }
        // An abort is looked for once a query has gone out: paced in the wait before the next, unpaced at once.
        if (outcome == QueryOutcome::Sent &&
            (unpaced ? aborted.load() : WaitForAnswersOrAbort(pacing.WaitForNext()) == WaitEnd::Abort)) {
            return false;
        }
    }
    return !aborted;
}

// Passes and grace waits; returns when the run is over, however it ended.
void RunState::RunPasses() {
    uint32_t pacingMs = PacingIntervalMs(snapshot.packetsPerSecond);
    for (int pass = 0; pass < QUERY_PASSES; ++pass) {
        if (!RunPass(pacingMs) || CountUnansweredNow() <= 0) {
            return;
        }
        if (WaitForAnswersOrAbort(GRACE_WAIT_MS) == WaitEnd::AllAnswered) {
            return;
        }
    }
}

// Takes one datagram from addr:port if it answers a query of this run.
void RunState::Accept(const std::unordered_map<uint64_t, int32_t>& indices, const char* datagram, size_t length,
                      uint32_t addr, uint16_t port, uint32_t arrival, bool fresh, bool backlogged) {
    auto found = indices.find(ServerPairKey(addr, port));
    if (found == indices.end()) {
        return;
    }
    ServerRecord& record = (*table)[static_cast<size_t>(found->second)];
    uint32_t queryTime = 0;
    {
        std::lock_guard<std::mutex> lock(tableMutex);
        if (record.queryTime == 0 || record.answered) {
            return;
        }
        record.answered = 1;
        queryTime = record.queryTime;
        bool room = SettleInFlight(inFlight, found->second);
        if (fresh) {
            NoteReplyTime(inFlight, ElapsedMs(queryTime, arrival));
        } else if (backlogged) {
            NoteReplyBacklog(inFlight);
        }
        allAnswered = --unanswered <= 0;
        if (room || allAnswered) {
            progress->Set();
        }
    }
    // The record is this thread's alone now, until the channel hands it on.
    ParseStatusText(datagram, static_cast<int>(length), snapshot.decodeAnsi, record);
    record.ping = ElapsedMs(queryTime, arrival);
    channel.PushReply(found->second, FoundText(record));
}

// Reads every datagram as soon as it arrives, each stamped the moment it is read, until the socket is interrupted.
void RunState::Receive() {
    std::unordered_map<uint64_t, int32_t> indices;
    indices.reserve(table->size());
    for (size_t i = 0; i < table->size(); ++i) {
        indices.emplace(ServerPairKey((*table)[i].addr, (*table)[i].port), static_cast<int32_t>(i));
    }
    char datagram[REPLY_DATAGRAM_SIZE + 1];
    while (socket->WaitReadable()) {
        for (int reads = 0;; ++reads) {
            size_t length = 0;
            uint32_t addr = 0;
            uint16_t port = 0;
            ReceiveStatus status = socket->ReceiveFrom(datagram, REPLY_DATAGRAM_SIZE, length, addr, port);
            uint32_t arrival = RunClockMs();
            if (status == ReceiveStatus::Empty) {
                break;
            }
            if (status == ReceiveStatus::Skipped || length == 0) {
                continue;
            }
            datagram[length] = 0;
            Accept(indices, datagram, length, addr, port, arrival, reads < FRESH_READS,
                   reads % BACKLOG_READS == BACKLOG_READS - 1);
        }
    }
}

void RunState::QueryServers() {
    int error = 0;
    socket = OpenDatagramSocket(RECEIVE_BUFFER_BYTES, error);
    if (!socket) {
        channel.PushStatus(SendFailedText(error), true);
        return;
    }
    FineTimerScope fineTimer;
    unanswered = CountUnanswered(*table);
    allAnswered = unanswered <= 0;

    std::thread receiver;
    try {
        receiver = std::thread([this] { Receive(); });
    } catch (const std::system_error&) {
        // No receiver: the passes still run and nothing is accepted.
    }

    RunPasses();
    bool abortedRun = aborted;

    socket->Interrupt();
    if (receiver.joinable()) {
        receiver.join();
    }
    socket.reset();

    // Counted once the receiver has ended, and pushed after every accepted reply, so the line and the rows tell the
    // same story.
    int32_t total = static_cast<int32_t>(table->size());
    channel.PushStatus(ClosingText(abortedRun, total - CountUnansweredNow(), total), true);
}

void RunState::Main() {
    // The run's first line is shown at once: the answer to the click, never dropped for the lines after it.
    channel.PushStatus(FetchingText(snapshot.masterHost), true);
    std::vector<unsigned char> body;
    if (!fetch || !fetch(snapshot, body)) {
        channel.PushStatus(DownloadFailedText(snapshot.masterHost));
        Finish();
        return;
    }
    // The shown table goes first, so the two never need memory at the same time.
    if (!channel.ReleaseShownTable()) {
        Finish();
        return;
    }
    body.push_back(0); // a valid pointer even for an empty body
    // The one master a run asks today is the first of the list.
    table = BuildServerTable(body.data(), static_cast<uint32_t>(body.size() - 1), MasterSource(0));
    if (!table) {
        table = std::make_shared<ServerTable>(); // no memory: the run goes on with an empty table
    }
    body = std::vector<unsigned char>();
    channel.PushTable(table);
    channel.PushStatus(u"Querying servers...");
    QueryServers();
    Finish();
}

// The end is pushed before the run counts as finished, so that nothing of the run calls out after a waiter has seen
// it finish.
void RunState::Finish() {
    channel.PushEnd();
    std::lock_guard<std::mutex> lock(finishMutex);
    finished = true;
    finishedSignal.notify_all();
}

QueryRun::QueryRun(RunSnapshot snapshot, ListFetcher fetch, std::function<void()> wake)
    : state_(std::make_shared<RunState>(std::move(snapshot), std::move(fetch), std::move(wake))) {
    try {
        // The thread holds the state too, so a run left to finish on its own never meets freed memory.
        std::shared_ptr<RunState> state = state_;
        thread_ = std::thread([state] { state->Main(); });
        started_ = true;
    } catch (const std::system_error&) {
        state_->channel.PushEnd();
        state_->finished = true;
    }
}

QueryRun::~QueryRun() {
    if (!stopped_) {
        Stop(HANDLE_END_WAIT_MS);
    }
}

bool QueryRun::Stop(uint32_t ms) {
    stopped_ = true;
    Abort();
    state_->channel.Detach();
    bool ended = WaitFinished(ms);
    if (thread_.joinable()) {
        if (ended) {
            thread_.join();
        } else {
            thread_.detach();
        }
    }
    return ended;
}

void QueryRun::Abort() {
    state_->Abort();
}

bool QueryRun::Aborted() const {
    return state_->aborted;
}

bool QueryRun::WaitFinished(uint32_t ms) {
    std::unique_lock<std::mutex> lock(state_->finishMutex);
    return state_->finishedSignal.wait_for(lock, std::chrono::milliseconds(ms), [this] { return state_->finished.load(); });
}

RunReport QueryRun::Take() {
    return state_->channel.Take();
}

void QueryRun::AcknowledgeRelease() {
    state_->channel.AcknowledgeRelease();
}
