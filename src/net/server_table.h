// The server table: one record per game server of the current update run. Win32 side.
#pragma once

#include <cstdint>

#include "net/server_record.h"

// Replaces the table with one zeroed record per distinct address and port of a master list body. The user
// interface thread reads the table without a lock, so the old table is taken from it before it is released and
// the new one is handed to it only once fully written.
void RebuildServerTable(const unsigned char* body, uint32_t length);

// Records of the table whose `answered` is 0. The caller holds tableLock.
int32_t CountUnanswered();

// A table to install and, after the swap, the one it replaced.
struct ServerTableSwap {
    ServerRecord* servers;
    int32_t serverCount;
    bool swapped;
};

// Exchanges app's table and the swap's. On the user interface thread (WM_APP_SWAP_TABLE), after both lists, whose
// rows refer into the table, have been emptied.
void SwapServerTable(ServerTableSwap& swap);
