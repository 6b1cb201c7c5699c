// Turning a master list body into server records, and counting what is still unanswered. Portable (no Win32).
//
// The body is a plain run of 6-byte entries: 4 address bytes and a 2-byte big-endian port. A trailing fragment of
// 1 to 5 bytes is not an entry.
#pragma once

#include <cstdint>
#include <cstring>

#include "net/server_record.h"

constexpr uint32_t SERVER_ENTRY_SIZE = 6;

// The address (kept in network byte order) and the port of one entry.
inline void ReadListEntry(const unsigned char* entry, uint32_t& addr, uint16_t& port) {
    std::memcpy(&addr, entry, sizeof addr);
    port = static_cast<uint16_t>(entry[4] << 8 | entry[5]);
}

// Records needed for a body of the given length: one per whole entry.
inline uint32_t ServerListCapacity(uint32_t length) {
    return length / SERVER_ENTRY_SIZE;
}

// Writes addr and port of one record per distinct (address, port) pair into `records`, which must be zero-filled
// and hold ServerListCapacity(length) records, in the order of each pair's first appearance. Nothing else of the
// records is touched. Returns the number of distinct servers.
int32_t DecodeServerList(const unsigned char* body, uint32_t length, ServerRecord* records);

// Records among the first `count` whose answered flag is still 0.
int32_t CountUnansweredRecords(const ServerRecord* records, int32_t count);
