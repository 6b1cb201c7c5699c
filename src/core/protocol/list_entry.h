// The 6-byte entry that names one game server in every list of them: a web master's body, a classic master's
// `servers` datagram, the remembered list, and what the master service sends. Portable (no Win32); the browser, the
// remembered list and the master service all read and write entries here.
//
// An entry is the 4 address bytes, then the port as 2 bytes big-endian. A trailing fragment of 1 to 5 bytes is not
// an entry.
#pragma once

#include <cstddef>
#include <cstdint>

constexpr size_t LIST_ENTRY_SIZE = 6;

// The browser keeps an address as the entry's four bytes lie in memory (network byte order, as sockets take it)
// and a port in host order; so does the master service, for every address it sends to, hears from or binds.
struct ListEntry {
    uint32_t addr = 0;
    uint16_t port = 0;
};

inline bool operator==(const ListEntry& a, const ListEntry& b) {
    return a.addr == b.addr && a.port == b.port;
}

ListEntry ReadListEntry(const unsigned char* bytes);
void WriteListEntry(const ListEntry& entry, unsigned char* bytes);

// Between that address and the number whose top byte is the first octet (a.b.c.d as a << 24 | b << 16 | c << 8 |
// d), which the master service keeps and compares.
uint32_t AddressFromOctets(uint32_t octets);
uint32_t OctetsOfAddress(uint32_t addr);

// Whether a status query may go there: never to port 0, to "this network" (0.0.0.0/8, where 0.0.0.0 reaches the
// asking machine itself), or to multicast, reserved and broadcast space (224.0.0.0 and up). A master, a favourite
// or a forged heartbeat naming one of these names no game server.
bool IsQueryableServer(uint32_t addr, uint16_t port);

// One number for an address and port, for looking servers up by the pair.
inline uint64_t ServerPairKey(uint32_t addr, uint16_t port) {
    return static_cast<uint64_t>(addr) << 16 | port;
}
