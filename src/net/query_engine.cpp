#include "net/query_engine.h"

#include "app/app_state.h"

#include <mmsystem.h>

#include <unordered_map>

#include "app/status_bar.h"
#include "base/address.h"
#include "base/win_holders.h"
#include "net/in_flight.h"
#include "net/query_pacing.h"
#include "net/reply_handover.h"
#include "net/reply_parser.h"
#include "net/server_table.h"
#include "net/status_reply.h"

namespace {

constexpr int QUERY_PASSES = 3;
constexpr DWORD GRACE_WAIT_MS = 1000;
// How far a pass may fall behind its pacing and still catch up, rather than start counting afresh.
constexpr DWORD PACING_BACKLOG_MS = 100;
constexpr int DATAGRAM_SIZE = 4096;
// Asked of the socket layer so that a burst of replies waits in the socket, not on the wire's floor; a smaller
// buffer is taken as it comes (Linux under Wine caps it at its own limit).
constexpr int RECEIVE_BUFFER_BYTES = 4 * 1024 * 1024;
// An unpaced pass keeps at most this many queries in flight (sent, not answered, not older than
// IN_FLIGHT_EXPIRY_MS), so that the replies to them fit the socket's buffer whatever it was granted.
constexpr int32_t IN_FLIGHT_LIMIT = 256;
constexpr DWORD IN_FLIGHT_EXPIRY_MS = 250;
// An unpaced pass looks whether it was aborted after every this many queries.
constexpr int32_t UNPACED_ABORT_CHECK = 16;
// How long an unpaced pass at its limit waits for room before it looks for expired queries itself.
constexpr DWORD IN_FLIGHT_WAIT_MS = 10;

// Which of allAnsweredEvent and abortEvent ended a wait; the all-answered signal takes precedence.
enum class WaitEnd { AllAnswered, Abort, Other };

WaitEnd WaitForAnswersOrAbort(DWORD timeoutMs) {
    HANDLE events[2] = {app.allAnsweredEvent, app.abortEvent};
    switch (WaitForMultipleObjects(2, events, FALSE, timeoutMs)) {
    case WAIT_OBJECT_0:
        return WaitEnd::AllAnswered;
    case WAIT_OBJECT_0 + 1:
        return WaitEnd::Abort;
    default:
        return WaitEnd::Other; // timeout or failure
    }
}

int32_t CountUnansweredLocked() {
    EnterCriticalSection(&app.tableLock);
    int32_t count = CountUnanswered();
    LeaveCriticalSection(&app.tableLock);
    return count;
}

// The queries of the current unpaced pass in flight: the update thread notes and expires them, the receiver
// thread settles them, both under tableLock. `room` (automatic reset, one per run) wakes the update thread when a
// full window has drained.
InFlightWindow inFlight;
HANDLE roomInFlight = nullptr;

void SettleQuery(int32_t index) {
    if (SettleInFlight(inFlight, index) && roomInFlight) {
        SetEvent(roomInFlight);
    }
}

// Waits for room in flight, or for the oldest query to expire; returns false when abortEvent ended the wait.
bool WaitForRoomInFlight() {
    HANDLE events[2] = {app.abortEvent, roomInFlight};
    return WaitForMultipleObjects(roomInFlight ? 2 : 1, events, FALSE, IN_FLIGHT_WAIT_MS) != WAIT_OBJECT_0;
}

void CloseEvent(HANDLE& event) {
    if (event) {
        CloseHandle(event);
        event = nullptr;
    }
}

// The run's socket and events; false, with everything created so far released, when one cannot be had.
bool OpenRunObjects() {
    app.socketEvent = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    app.receiverStopEvent = app.socketEvent ? CreateEventW(nullptr, FALSE, FALSE, nullptr) : nullptr;
    app.allAnsweredEvent = app.receiverStopEvent ? CreateEventW(nullptr, FALSE, FALSE, nullptr) : nullptr;
    app.querySocket = INVALID_SOCKET;
    if (app.allAnsweredEvent) {
        app.querySocket = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    }
    if (app.querySocket != INVALID_SOCKET && WSAEventSelect(app.querySocket, app.socketEvent, FD_READ) == 0) {
        int bytes = RECEIVE_BUFFER_BYTES;
        setsockopt(app.querySocket, SOL_SOCKET, SO_RCVBUF, reinterpret_cast<const char*>(&bytes), sizeof bytes);
        return true;
    }
    if (app.querySocket != INVALID_SOCKET) {
        closesocket(app.querySocket);
        app.querySocket = INVALID_SOCKET;
    }
    CloseEvent(app.allAnsweredEvent);
    CloseEvent(app.receiverStopEvent);
    CloseEvent(app.socketEvent);
    return false;
}

// Each query is due one pacing interval after the one before it was due, not after its wait ended, so that the time
// each step takes does not add up over a pass. Two queries are still never closer than an interval less the clock's
// millisecond, so a pass catches up on a stall slowly; one that falls behind by more than PACING_BACKLOG_MS starts
// the count afresh rather than sending a burst. Called just after a query went out; returns how long to wait.
struct PacingClock {
    DWORD due;
    DWORD interval;
};

DWORD WaitForNextQuery(PacingClock& clock) {
    DWORD now = timeGetTime();
    clock.due += clock.interval;
    DWORD backlog = clock.interval > PACING_BACKLOG_MS ? clock.interval : PACING_BACKLOG_MS;
    if (static_cast<LONG>(now - clock.due) > static_cast<LONG>(backlog)) {
        clock.due = now + clock.interval;
    }
    DWORD shortest = clock.interval > 0 ? clock.interval - 1 : 0;
    DWORD untilDue = static_cast<LONG>(clock.due - now) > 0 ? clock.due - now : 0;
    return untilDue > shortest ? untilDue : shortest;
}

// Sends record j's query if it is still unanswered and, unpaced, once there is room in flight. Returns whether a
// query went out; false with `aborted` set when abortEvent ended a wait for room. tableLock is held for the
// record's test and bookkeeping only, not for the send: the receiver never waits for a system call of this thread.
bool QueryIfUnanswered(int32_t j, bool unpaced, bool& aborted) {
    for (;;) {
        EnterCriticalSection(&app.tableLock);
        ServerRecord* record = &app.servers[j];
        if (record->answered) {
            LeaveCriticalSection(&app.tableLock);
            return false;
        }
        if (!unpaced || HasRoomInFlight(inFlight, timeGetTime(), IN_FLIGHT_EXPIRY_MS)) {
            QueryDestination destination = PrepareStatusQuery(record);
            if (unpaced) {
                NoteQueryInFlight(inFlight, j, record->queryTime);
            }
            LeaveCriticalSection(&app.tableLock);
            if (!SendStatusQuery(destination) && unpaced) {
                EnterCriticalSection(&app.tableLock);
                SettleQuery(j); // no reply will come to take its place
                LeaveCriticalSection(&app.tableLock);
            }
            return true;
        }
        LeaveCriticalSection(&app.tableLock);
        if (!WaitForRoomInFlight()) {
            aborted = true;
            return false;
        }
    }
}

// One pass over the table. Returns false when abortEvent ended a wait.
bool RunPass(DWORD pacingMs) {
    bool unpaced = pacingMs == 0;
    if (unpaced) {
        EnterCriticalSection(&app.tableLock);
        ResetInFlight(inFlight, app.serverCount, IN_FLIGHT_LIMIT);
        LeaveCriticalSection(&app.tableLock);
    }
    PacingClock pacing{timeGetTime(), pacingMs};
    int32_t sentInPass = 0;
    for (int32_t j = 0; j < app.serverCount; ++j) {
        bool aborted = false;
        if (!QueryIfUnanswered(j, unpaced, aborted)) {
            if (aborted) {
                return false;
            }
            continue;
        }
        // Unpaced there is no wait, only a look at abortEvent, which costs a round trip to the server under Wine:
        // taken after the first query and then every UNPACED_ABORT_CHECK queries, so an abort still ends the
        // pass within a few hundred microseconds.
        bool look = !unpaced || sentInPass++ % UNPACED_ABORT_CHECK == 0;
        if (look && WaitForAnswersOrAbort(WaitForNextQuery(pacing)) == WaitEnd::Abort) {
            return false;
        }
    }
    return true;
}

// Passes and grace waits; returns when the run is over, however it ended.
void RunPasses() {
    DWORD pacingMs = PacingIntervalMs(app.packetsPerSecond);
    for (int pass = 0; pass < QUERY_PASSES; ++pass) {
        if (!RunPass(pacingMs)) {
            return;
        }
        if (CountUnansweredLocked() <= 0) {
            return;
        }
        if (WaitForAnswersOrAbort(GRACE_WAIT_MS) == WaitEnd::AllAnswered) {
            return;
        }
    }
}

// The table's indices by address and port, so that a reply finds its record without a walk through the table. The
// table is not replaced while its run's receiver lives.
std::unordered_map<uint64_t, int32_t> IndexServersLocked() {
    std::unordered_map<uint64_t, int32_t> indices;
    indices.reserve(static_cast<size_t>(app.serverCount));
    for (int32_t i = 0; i < app.serverCount; ++i) {
        indices.emplace(ServerPairKey(app.servers[i].addr, app.servers[i].port), i);
    }
    return indices;
}

// The receiver thread's view of the run: where each server sits in the table, and how many have not answered.
struct ReceiverState {
    std::unordered_map<uint64_t, int32_t> indices;
    int32_t unanswered;
    char datagram[DATAGRAM_SIZE + 1];
};

// Accepts one datagram from `sender` if it answers a query of this run; returns whether none is left unanswered.
bool AcceptDatagram(ReceiverState& state, int length, const sockaddr_in& sender, DWORD arrival) {
    EnterCriticalSection(&app.tableLock);
    auto found = state.indices.find(ServerPairKey(sender.sin_addr.s_addr, ntohs(sender.sin_port)));
    if (found != state.indices.end()) {
        ServerRecord* record = &app.servers[found->second];
        if (record->queryTime != 0 && !record->answered) {
            ParseStatusReply(state.datagram, length, arrival, record);
            SettleQuery(found->second);
            --state.unanswered;
        }
    }
    bool allAnswered = state.unanswered <= 0;
    LeaveCriticalSection(&app.tableLock);
    return allAnswered;
}

// Reads every datagram waiting in the socket, each stamped the moment it is read. Returns whether the table is
// complete; the all-answered event is then set once everything is listed.
bool DrainSocket(ReceiverState& state) {
    for (;;) {
        sockaddr_in sender{};
        int senderSize = sizeof sender;
        int length = recvfrom(app.querySocket, state.datagram, DATAGRAM_SIZE, 0, reinterpret_cast<sockaddr*>(&sender),
                              &senderSize);
        DWORD arrival = timeGetTime();
        if (length == SOCKET_ERROR) {
            // WSAECONNRESET follows a port-unreachable report from a dead server, WSAEMSGSIZE a datagram over 4096
            // bytes, which is lost: either way the next one is read. Anything else means the socket is empty.
            int error = WSAGetLastError();
            if (error == WSAECONNRESET || error == WSAEMSGSIZE) {
                continue;
            }
            return false;
        }
        if (length == 0) {
            continue;
        }
        state.datagram[length] = 0;
        if (AcceptDatagram(state, length, sender, arrival)) {
            return true;
        }
    }
}

} // namespace

void QueryServers() {
    if (!OpenRunObjects()) {
        return;
    }
    timeBeginPeriod(1);
    BeginReplyHandOver();
    ResetInFlight(inFlight, 0, IN_FLIGHT_LIMIT);
    roomInFlight = CreateEventW(nullptr, FALSE, FALSE, nullptr); // without it, a full window is polled

    KernelHandle receiver(CreateThread(nullptr, 0, ReceiverThread, nullptr, 0, nullptr));
    if (!receiver) {
        // No receiver will close its two events; the passes still run and nothing is accepted.
        CloseEvent(app.receiverStopEvent);
        CloseEvent(app.socketEvent);
    }

    RunPasses();

    const wchar_t* closing = WaitForSingleObject(app.abortEvent, 0) == WAIT_OBJECT_0 ? L"Aborted" : L"Completed";

    if (receiver) {
        // The receiver may be inside a datagram's handling; it is let finish, and closes its two events, before
        // the socket and the event it uses are taken away.
        SetEvent(app.receiverStopEvent);
        WaitForSingleObject(receiver.get(), INFINITE);
        app.receiverStopEvent = nullptr;
        app.socketEvent = nullptr;
    }
    closesocket(app.querySocket);
    app.querySocket = INVALID_SOCKET;
    CloseEvent(app.allAnsweredEvent);
    CloseEvent(roomInFlight);

    // Counted once the receiver has ended, and every accepted reply listed before the closing line, so the line and
    // the rows tell the same story.
    int32_t unanswered = CountUnansweredLocked();
    DeliverRepliesNow();
    SetStatusNow(L"%s. %d of %d servers responded.", closing, app.serverCount - unanswered, app.serverCount);
    timeEndPeriod(1);
}

QueryDestination PrepareStatusQuery(ServerRecord* record) {
    char address[DOTTED_QUAD_SIZE];
    FormatDottedQuad(record->addr, address);
    if (record->attempts == 0) {
        SetStatus(L"Querying %S:%d...", address, record->port);
    } else {
        SetStatus(L"Retrying %S:%d (attempt %d)...", address, record->port, record->attempts + 1);
    }
    record->attempts++;
    record->queryTime = timeGetTime();
    return QueryDestination{record->addr, record->port};
}

bool SendStatusQuery(QueryDestination server) {
    sockaddr_in destination{};
    destination.sin_family = AF_INET;
    destination.sin_addr.s_addr = server.addr;
    destination.sin_port = htons(server.port);
    if (sendto(app.querySocket, reinterpret_cast<const char*>(STATUS_QUERY), STATUS_QUERY_SIZE, 0,
               reinterpret_cast<sockaddr*>(&destination), sizeof destination) == SOCKET_ERROR) {
        SetStatus(L"Can't send: error %d", WSAGetLastError());
        return false;
    }
    return true;
}

DWORD WINAPI ReceiverThread(LPVOID) {
    HANDLE events[2] = {app.socketEvent, app.receiverStopEvent};
    timeBeginPeriod(1);

    ReceiverState state;
    EnterCriticalSection(&app.tableLock);
    state.indices = IndexServersLocked();
    // Only this thread marks records answered while it runs, so counting its acceptances down keeps the number
    // without a walk through the table for every datagram.
    state.unanswered = CountUnanswered();
    LeaveCriticalSection(&app.tableLock);

    while (WaitForMultipleObjects(2, events, FALSE, INFINITE) == WAIT_OBJECT_0) {
        if (DrainSocket(state)) {
            DeliverRepliesNow();
            SetEvent(app.allAnsweredEvent);
        }
    }

    CloseHandle(events[1]);
    CloseHandle(events[0]);
    timeEndPeriod(1);
    return 0;
}
