// The entries of a master list: a web master's body, a classic master's `servers` datagram and the remembered list
// all hold the same 6-byte entries. Portable (no Win32).
//
// An entry is 4 address bytes and a 2-byte big-endian port. A trailing fragment of 1 to 5 bytes is not an entry.
#pragma once

#include <cstdint>
#include <cstring>

constexpr uint32_t SERVER_ENTRY_SIZE = 6;

// The address (kept in network byte order) and the port of one entry.
inline void ReadListEntry(const unsigned char* entry, uint32_t& addr, uint16_t& port) {
    std::memcpy(&addr, entry, sizeof addr);
    port = static_cast<uint16_t>(entry[4] << 8 | entry[5]);
}
