#include "net/query_engine.h"

#include "app/app_state.h"

#include <mmsystem.h>

#include <unordered_map>

#include "app/app_messages.h"
#include "app/status_bar.h"
#include "base/address.h"
#include "net/query_pacing.h"
#include "net/reply_parser.h"
#include "net/server_table.h"
#include "net/status_reply.h"

namespace {

constexpr int QUERY_PASSES = 3;
constexpr DWORD GRACE_WAIT_MS = 1000;
constexpr DWORD REPAINT_DELAY_MS = 250;
// Painting the list takes the user interface thread tens of milliseconds under a stream of replies; repainting it
// at every step left too little of the thread for the replies themselves.
constexpr DWORD REPAINT_INTERVAL_MS = 250;
// How far a pass may fall behind its pacing and still catch up (a paint of the list holds the user interface
// thread, and with it the next query's status line, for tens of milliseconds).
constexpr DWORD PACING_BACKLOG_MS = 100;
constexpr int DATAGRAM_SIZE = 4096;

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

void RepaintIfListed() {
    if (app.listDirty && app.hMainDlg) {
        SendMessageW(app.hMainDlg, WM_APP_REPAINT_LIST, 0, 0);
    }
    app.listDirty = 0;
}

// When the list may be repainted next: not in the run's first REPAINT_DELAY_MS, then at most every
// REPAINT_INTERVAL_MS.
struct RepaintClock {
    DWORD since;
    DWORD wait;
};

void RepaintWhenDue(RepaintClock& clock) {
    DWORD now = timeGetTime();
    if (now - clock.since > clock.wait && app.listDirty) {
        RepaintIfListed();
        clock = {now, REPAINT_INTERVAL_MS};
    }
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

// One pass over the table. Returns false when abortEvent ended a pacing wait.
bool RunPass(DWORD pacingMs, RepaintClock& repaint) {
    PacingClock pacing{timeGetTime(), pacingMs};
    for (int32_t j = 0; j < app.serverCount; ++j) {
        bool sent = false;
        EnterCriticalSection(&app.tableLock);
        if (!app.servers[j].answered) {
            SendStatusQuery(&app.servers[j]);
            sent = true;
        }
        LeaveCriticalSection(&app.tableLock);

        if (sent && WaitForAnswersOrAbort(WaitForNextQuery(pacing)) == WaitEnd::Abort) {
            return false;
        }
        RepaintWhenDue(repaint);
    }
    return true;
}

// Passes and grace waits; returns when the run is over, however it ended.
void RunPasses() {
    DWORD pacingMs = PacingIntervalMs(app.packetsPerSecond);
    RepaintClock repaint{timeGetTime(), REPAINT_DELAY_MS};
    for (int pass = 0; pass < QUERY_PASSES; ++pass) {
        if (!RunPass(pacingMs, repaint)) {
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

} // namespace

void QueryServers() {
    if (!OpenRunObjects()) {
        return;
    }
    timeBeginPeriod(1);

    HANDLE receiver = CreateThread(nullptr, 0, ReceiverThread, nullptr, 0, nullptr);
    if (!receiver) {
        // No receiver will close its two events; the passes still run and nothing is accepted.
        CloseEvent(app.receiverStopEvent);
        CloseEvent(app.socketEvent);
    }

    RunPasses();

    const wchar_t* closing = WaitForSingleObject(app.abortEvent, 0) == WAIT_OBJECT_0 ? L"Aborted" : L"Completed";
    int32_t unanswered = CountUnansweredLocked();
    RepaintIfListed();

    if (receiver) {
        // The receiver may be inside a datagram's handling, sending to the user interface thread; it is let
        // finish, and closes its two events, before the socket and the event it uses are taken away.
        SetEvent(app.receiverStopEvent);
        WaitForSingleObject(receiver, INFINITE);
        CloseHandle(receiver);
        app.receiverStopEvent = nullptr;
        app.socketEvent = nullptr;
    }
    closesocket(app.querySocket);
    app.querySocket = INVALID_SOCKET;
    CloseEvent(app.allAnsweredEvent);

    SetStatus(L"%s. %d of %d servers responded.", closing, app.serverCount - unanswered, app.serverCount);
    timeEndPeriod(1);
}

void SendStatusQuery(ServerRecord* record) {
    sockaddr_in destination{};
    destination.sin_family = AF_INET;
    destination.sin_addr.s_addr = record->addr;
    destination.sin_port = htons(record->port);

    char address[DOTTED_QUAD_SIZE];
    FormatDottedQuad(record->addr, address);
    if (record->attempts == 0) {
        SetStatus(L"Querying %S:%d...", address, record->port);
    } else {
        SetStatus(L"Retrying %S:%d (attempt %d)...", address, record->port, record->attempts + 1);
    }
    record->attempts++;

    record->queryTime = timeGetTime();
    if (sendto(app.querySocket, reinterpret_cast<const char*>(STATUS_QUERY), STATUS_QUERY_SIZE, 0,
               reinterpret_cast<sockaddr*>(&destination), sizeof destination) == SOCKET_ERROR) {
        SetStatus(L"Can't send: error %d", WSAGetLastError());
    }
}

DWORD WINAPI ReceiverThread(LPVOID) {
    HANDLE events[2] = {app.socketEvent, app.receiverStopEvent};
    timeBeginPeriod(1);

    EnterCriticalSection(&app.tableLock);
    std::unordered_map<uint64_t, int32_t> indices = IndexServersLocked();
    // Only this thread's parsing marks records answered while it runs, so counting its acceptances down keeps
    // the number without a walk through the table for every datagram.
    int32_t unanswered = CountUnanswered();
    LeaveCriticalSection(&app.tableLock);

    char datagram[DATAGRAM_SIZE + 1];
    for (;;) {
        if (WaitForMultipleObjects(2, events, FALSE, INFINITE) != WAIT_OBJECT_0) {
            break; // the stop event, or a failed wait
        }
        sockaddr_in sender{};
        int senderSize = sizeof sender;
        // A receive fails with WSAECONNRESET after a port-unreachable report from a dead server, and with
        // WSAEMSGSIZE for a datagram over 4096 bytes, which is lost; either way the next one is read.
        int length =
            recvfrom(app.querySocket, datagram, DATAGRAM_SIZE, 0, reinterpret_cast<sockaddr*>(&sender), &senderSize);
        if (length == SOCKET_ERROR || length == 0) {
            continue;
        }
        datagram[length] = 0;

        EnterCriticalSection(&app.tableLock);
        auto found = indices.find(ServerPairKey(sender.sin_addr.s_addr, ntohs(sender.sin_port)));
        if (found != indices.end()) {
            ServerRecord* record = &app.servers[found->second];
            if (record->queryTime != 0 && !record->answered) {
                ParseStatusReply(datagram, length, record);
                if (record->answered) {
                    --unanswered;
                }
            }
        }
        if (unanswered <= 0) {
            SetEvent(app.allAnsweredEvent);
        }
        LeaveCriticalSection(&app.tableLock);
    }

    CloseHandle(events[1]);
    CloseHandle(events[0]);
    timeEndPeriod(1);
    return 0;
}
