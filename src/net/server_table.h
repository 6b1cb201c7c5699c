// The server table of AppState (servers, serverCount, tableLock). Win32 side: the array lives on the process heap.
#pragma once

#include <cstdint>

// Replaces the whole table with one zeroed record per distinct address and port of a master list body. Runs on the
// update thread while no query engine exists. If the array cannot be allocated the table is left empty.
void RebuildServerTable(const unsigned char* body, uint32_t length);

// Records below serverCount that have not answered. The caller holds tableLock.
int32_t CountUnanswered();
