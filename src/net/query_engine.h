// The query engine: asks every server of the table for its status over UDP, paced, in up to three passes, and
// collects the replies on a receiver thread of its own. Win32 side.
#pragma once

#include <windows.h>

#include "net/server_record.h"

// Runs one query phase on the update thread and returns when every server has answered, after the third pass,
// or at the first wait after abortEvent is set. Writes the closing status line. The table must be freshly
// rebuilt and Windows Sockets started.
void QueryServers();

// Where a status query goes: the record's address (network byte order) and port (host byte order).
struct QueryDestination {
    uint32_t addr;
    uint16_t port;
};

// Announces the query in the status line, counts the attempt and stamps queryTime; the send follows at once. The
// caller holds tableLock.
QueryDestination PrepareStatusQuery(ServerRecord* record);

// Sends the status query datagram; a failure is reported in the status line and returns false. Called right after
// PrepareStatusQuery, without tableLock: a reply cannot be accepted before its record was stamped.
bool SendStatusQuery(QueryDestination server);

// Receives replies on querySocket until receiverStopEvent is set; closes receiverStopEvent and socketEvent.
DWORD WINAPI ReceiverThread(LPVOID);
