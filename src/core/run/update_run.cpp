#include "core/run/run_handle.h"

#include <chrono>
#include <system_error>

#include <cstring>
#include <ctime>

#include "core/protocol/list_entry.h"
#include "core/run/query_pacing.h"
#include "core/run/run_texts.h"
#include "core/run/update_run.h"
#include "core/settings/remembered_list.h"

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
// How long the controller sleeps at most while it waits for the first servers: it is woken by the masters, this only
// bounds a wake-up that went missing.
constexpr uint32_t GATHER_WAIT_MS = 100;

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

void UpdateRun::Abort() {
    aborted = true;
    progress->Set();
}

// The shown table goes first, so the two never need memory at the same time; then the new, empty one is shown and
// filled as the servers come.
bool UpdateRun::StartTable() {
    if (!channel.ReleaseShownTable()) {
        Abort(); // the taker is gone
        return false;
    }
    std::shared_ptr<ServerTable> fresh = std::make_shared<ServerTable>();
    {
        std::lock_guard<std::mutex> lock(tableMutex);
        table = fresh;
    }
    channel.PushTable(std::move(fresh));
    channel.PushStatus(u"Querying servers...");
    return true;
}

// Adds each whole 6-byte entry: a new server gets a record at the table's end, a known one the source.
void UpdateRun::MergeEntries(const unsigned char* entries, size_t length, SourceSet source) {
    std::lock_guard<std::mutex> lock(tableMutex);
    for (size_t offset = 0; !tableFull && length - offset >= LIST_ENTRY_SIZE; offset += LIST_ENTRY_SIZE) {
        ListEntry entry = ReadListEntry(entries + offset);
        uint32_t addr = entry.addr;
        uint16_t port = entry.port;
        size_t position = 0;
        MergeResult result = merged.Add(addr, port, source, &position);
        if (result == MergeResult::Known && position < table->size()) {
            (*table)[position].sources.fetch_or(source, std::memory_order_relaxed);
        } else if (result == MergeResult::Added) {
            if (!table->Append(addr, port, source)) {
                // No memory: the servers so far are queried, and no more are taken, so that every server merged
                // keeps the same place in the table.
                tableFull = true;
                break;
            }
            ++unanswered;
            allAnswered = false;
        }
    }
}

// Takes what the masters sent since the last look: failures are said, servers merged (the table is started by the
// first of them). Returns whether the table grew.
bool UpdateRun::TakeGathered() {
    if (gatheringOver || !gathering->Pending()) {
        return false;
    }
    std::vector<MasterArrival> arrivals;
    std::vector<MasterEnd> ends;
    bool over = gathering->Take(arrivals, ends);
    for (const MasterEnd& end : ends) {
        if (end.answered) {
            masterAnswered = true;
        } else if (!end.failure.empty()) {
            failures.push_back(end.failure);
            channel.PushStatus(end.failure);
        }
    }
    size_t before = table ? table->size() : 0;
    if ((masterAnswered || !arrivals.empty()) && !table && !StartTable()) {
        return false;
    }
    for (const MasterArrival& arrival : arrivals) {
        MergeEntries(arrival.entries.data(), arrival.entries.size(), MasterSource(arrival.master));
    }
    if (over) {
        gatheringOver = true;
        if (!masterAnswered) {
            FallBackWhenNoMasterAnswered();
        }
        progress->Set(); // a wait for every answer may end now
    }
    return table && table->size() > before;
}

// Every master failed: the servers of the last run in which one answered are queried instead, when a sound list of
// this mod filter is there and the user has not aborted the run.
void UpdateRun::FallBackWhenNoMasterAnswered() {
    std::vector<unsigned char> file;
    if (aborted || !remembered.recall || !remembered.recall(snapshot.modDir, file)) {
        return;
    }
    RememberedList list;
    RememberedFault fault = DecodeRememberedList(file.data(), file.size(), snapshot.modDir, &list);
    if (fault != RememberedFault::None) {
        rememberedFault = RememberedIgnoredText(RememberedFaultText(fault));
        channel.PushStatus(rememberedFault);
        return;
    }
    if (!table && !StartTable()) {
        return;
    }
    usedRemembered = true;
    rememberedAt = list.rememberedAt;
    channel.PushStatus(RememberedUsedText(list.entries.size() / LIST_ENTRY_SIZE, rememberedAt));
    MergeEntries(list.entries.data(), list.entries.size(), SOURCE_REMEMBERED);
}

// After a run in which a master answered, its masters' servers are kept for this mod filter.
void UpdateRun::Remember() {
    if (!remembered.remember) {
        return;
    }
    std::vector<ListEntry> fromMasters;
    for (const SourcedServer& server : merged.servers()) {
        if ((server.sources & (SOURCE_FAVOURITE - 1)) != 0) {
            fromMasters.push_back({server.addr, server.port});
        }
    }
    std::vector<unsigned char> file;
    if (EncodeRememberedList(snapshot.modDir, static_cast<int64_t>(std::time(nullptr)), fromMasters, &file)) {
        remembered.remember(snapshot.modDir, file);
    }
}

// No source gave a server: the run ends as it always has when its master failed, the shown table left in place.
void UpdateRun::EndWithoutServers() {
    if (!rememberedFault.empty()) {
        // The last master's failure, as the status line has just said it, and why the list was not used.
        channel.PushStatus(failures.empty() ? rememberedFault : failures.back() + u" " + rememberedFault);
    }
    Finish();
}

WaitEnd UpdateRun::WaitForAnswersOrAbort(uint32_t timeoutMs) {
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

int32_t UpdateRun::CountUnansweredNow() {
    std::lock_guard<std::mutex> lock(tableMutex);
    return unanswered;
}

// Whether a server is still due another query in a later pass.
bool UpdateRun::AnyToRetry() {
    std::lock_guard<std::mutex> lock(tableMutex);
    for (size_t i = 0; i < table->size(); ++i) {
        const ServerRecord& record = (*table)[i];
        if (!record.answered && record.attempts < QUERY_PASSES) {
            return true;
        }
    }
    return false;
}

// Sends the query of record `index` if it is still unanswered and due (not yet asked, with `freshOnly`; else asked
// fewer than QUERY_PASSES times) and, unpaced, once there is room in flight. The lock is held for the record's test
// and bookkeeping only, not for the send: the receiver never waits for a system call of this thread.
QueryOutcome UpdateRun::QueryIfDue(int32_t index, bool unpaced, bool freshOnly) {
    ServerRecord& record = (*table)[static_cast<size_t>(index)];
    std::unique_lock<std::mutex> lock(tableMutex);
    uint32_t now = 0;
    for (;;) {
        if (record.answered || record.attempts >= (freshOnly ? 1 : QUERY_PASSES)) {
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

// One pass over the table, taking in the servers that arrive meanwhile. Returns false when the run was aborted.
bool UpdateRun::RunPass(uint32_t pacingMs, bool freshOnly) {
    bool unpaced = pacingMs == 0;
    if (unpaced) {
        std::lock_guard<std::mutex> lock(tableMutex);
        ResetInFlight(inFlight, static_cast<int32_t>(table->size()), IN_FLIGHT_LIMIT);
    }
    PacingClock pacing{RunClockMs(), pacingMs};
    for (int32_t index = 0;; ++index) {
        TakeGathered();
        if (static_cast<size_t>(index) >= table->size()) {
            break;
        }
        QueryOutcome outcome = QueryIfDue(index, unpaced, freshOnly);
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

// The wait after a pass for the last replies. Servers that arrive meanwhile are asked at once, and the wait starts
// again after the last of them. AllAnswered only once every master is done too.
WaitEnd UpdateRun::GraceWait(uint32_t pacingMs) {
    uint32_t start = RunClockMs();
    for (;;) {
        if (TakeGathered()) {
            if (!RunPass(pacingMs, true)) {
                return WaitEnd::Abort;
            }
            start = RunClockMs();
        }
        {
            std::lock_guard<std::mutex> lock(tableMutex);
            if (allAnswered && gatheringOver) {
                return WaitEnd::AllAnswered;
            }
        }
        if (aborted) {
            return WaitEnd::Abort;
        }
        uint32_t waited = RunClockMs() - start;
        if (waited >= GRACE_WAIT_MS) {
            return WaitEnd::Other;
        }
        progress->Wait(GRACE_WAIT_MS - waited);
    }
}

// Passes and grace waits; returns when the run is over, however it ended. While masters still answer, passes go
// on for the servers they add, each server asked at most QUERY_PASSES times.
void UpdateRun::RunPasses() {
    uint32_t pacingMs = PacingIntervalMs(snapshot.packetsPerSecond);
    for (;;) {
        // An abort in the grace wait is seen by the next pass, which sends its first query before it looks.
        if (!RunPass(pacingMs, false) || GraceWait(pacingMs) == WaitEnd::AllAnswered) {
            return;
        }
        if (gatheringOver && !AnyToRetry()) {
            return;
        }
    }
}

// Takes one datagram from addr:port if it answers a query of this run.
void UpdateRun::Accept(const char* datagram, size_t length, uint32_t addr, uint16_t port, uint32_t arrival,
                      bool fresh, bool backlogged) {
    ServerRecord* record = nullptr;
    size_t position = 0;
    uint32_t queryTime = 0;
    {
        std::lock_guard<std::mutex> lock(tableMutex);
        if (!merged.Find(addr, port, &position) || position >= table->size()) {
            return;
        }
        record = &(*table)[position];
        if (record->queryTime == 0 || record->answered) {
            return;
        }
        record->answered = 1;
        queryTime = record->queryTime;
        bool room = SettleInFlight(inFlight, static_cast<int32_t>(position));
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
    ParseStatusText(datagram, static_cast<int>(length), snapshot.decodeAnsi, *record);
    record->ping = ElapsedMs(queryTime, arrival);
    channel.PushReply(static_cast<int32_t>(position), FoundText(*record));
}

// Reads every datagram as soon as it arrives, each stamped the moment it is read, until the socket is interrupted.
void UpdateRun::Receive() {
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
            Accept(datagram, length, addr, port, arrival, reads < FRESH_READS, reads % BACKLOG_READS == BACKLOG_READS - 1);
        }
    }
}

void UpdateRun::QueryServers() {
    int error = 0;
    socket = OpenDatagramSocket(RECEIVE_BUFFER_BYTES, error);
    if (!socket) {
        channel.PushStatus(SendFailedText(error), true);
        return;
    }
    FineTimerScope fineTimer;

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
    gathering->Interrupt();
    gathering->Join();
    if (!abortedRun && masterAnswered && gatheringOver) {
        Remember();
    }

    // Counted once the receiver has ended, and pushed after every accepted reply, so the line and the rows tell the
    // same story. A master that failed while other sources gave servers is named after the count, and so is a
    // remembered list that was not used.
    int32_t total = static_cast<int32_t>(table->size());
    std::u16string closing = ClosingText(abortedRun, total - CountUnansweredNow(), total);
    if (usedRemembered) {
        closing = RememberedClosingText(closing, rememberedAt);
    } else {
        for (const std::u16string& failure : failures) {
            closing += u" " + failure;
        }
        if (!rememberedFault.empty()) {
            closing += u" " + rememberedFault;
        }
    }
    channel.PushStatus(closing, true);
}

void UpdateRun::Main() {
    // The run's first line is shown at once: the answer to the click, never dropped for the lines after it.
    channel.PushStatus(FetchingText(snapshot.masters), true);
    gathering = std::make_unique<MasterGathering>(snapshot, fetch, *progress);
    gathering->Start();
    if (!snapshot.favourites.empty() && StartTable()) {
        for (const FavouriteServer& favourite : snapshot.favourites) {
            unsigned char entry[LIST_ENTRY_SIZE];
            WriteListEntry({favourite.addr, favourite.port}, entry);
            MergeEntries(entry, sizeof entry, SOURCE_FAVOURITE);
        }
    }
    // Until the first servers come, or every master is done. An abort here still waits for the masters, as the
    // download always has; a classic master stops at once.
    while (!table && !gatheringOver) {
        if (aborted) {
            gathering->Interrupt();
        }
        if (!TakeGathered()) {
            progress->Wait(GATHER_WAIT_MS);
        }
    }
    if (!table) {
        gathering->Join();
        EndWithoutServers();
        return;
    }
    QueryServers();
    Finish();
}

// The end is pushed before the run counts as finished, so that nothing of the run calls out after a waiter has seen
// it finish.
void UpdateRun::Finish() {
    channel.PushEnd();
    std::lock_guard<std::mutex> lock(finishMutex);
    finished = true;
    finishedSignal.notify_all();
}

RunHandle::RunHandle(RunSnapshot snapshot, ListFetcher fetch, RememberedStore remembered, std::function<void()> wake)
    : state_(std::make_shared<UpdateRun>(std::move(snapshot), std::move(fetch), std::move(remembered),
                                        std::move(wake))) {
    try {
        // The thread holds the state too, so a run left to finish on its own never meets freed memory.
        std::shared_ptr<UpdateRun> state = state_;
        thread_ = std::thread([state] { state->Main(); });
        started_ = true;
    } catch (const std::system_error&) {
        state_->channel.PushEnd();
        state_->finished = true;
    }
}

RunHandle::~RunHandle() {
    if (!stopped_) {
        Stop(HANDLE_END_WAIT_MS);
    }
}

bool RunHandle::Stop(uint32_t ms) {
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

void RunHandle::Abort() {
    state_->Abort();
}

bool RunHandle::Aborted() const {
    return state_->aborted;
}

bool RunHandle::WaitFinished(uint32_t ms) {
    std::unique_lock<std::mutex> lock(state_->finishMutex);
    return state_->finishedSignal.wait_for(lock, std::chrono::milliseconds(ms), [this] { return state_->finished.load(); });
}

RunReport RunHandle::Take() {
    return state_->channel.Take();
}

void RunHandle::AcknowledgeRelease() {
    state_->channel.AcknowledgeRelease();
}
