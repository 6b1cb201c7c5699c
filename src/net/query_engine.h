// The query engine: asks every server of the table for its status over UDP, paced, in up to three passes, and
// collects the replies on a receiver thread of its own. Win32 side.
#pragma once

#include <windows.h>

#include "net/server_record.h"

// Runs one query phase on the update thread and returns when every server has answered, after the third pass,
// or at the first wait after abortEvent is set. Writes the closing status line. The table must be freshly
// rebuilt and Windows Sockets started.
void QueryServers();

// Sends one status query to the record's server and counts the attempt. The caller holds tableLock.
void SendStatusQuery(ServerRecord* record);

// Receives replies on querySocket until receiverStopEvent is set; closes receiverStopEvent and socketEvent.
DWORD WINAPI ReceiverThread(LPVOID);
