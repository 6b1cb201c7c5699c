// A game server's IPv4 address and port as the service keeps them, and how one goes into and comes out of the
// 6-byte entry of the master list body and the classic `servers` reply, through the browser's own codec
// (core/protocol/list_entry.h).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "core/protocol/list_entry.h"

namespace skerrow_master {

struct ServerAddress {
    uint32_t host = 0; // host byte order
    uint16_t port = 0;

    bool operator==(const ServerAddress& other) const { return host == other.host && port == other.port; }
};

inline uint64_t AddressKey(const ServerAddress& address) {
    return static_cast<uint64_t>(address.host) << 16 | address.port;
}

inline ServerAddress AddressFromKey(uint64_t key) {
    return {static_cast<uint32_t>(key >> 16), static_cast<uint16_t>(key & 0xFFFF)};
}

// The codec keeps the address as its four bytes lie in the entry; the service keeps the number whose top byte is
// the first of them.
inline ListEntry ToListEntry(const ServerAddress& address) {
    return {AddressFromOctets(address.host), address.port};
}

inline ServerAddress FromListEntry(const ListEntry& entry) {
    return {OctetsOfAddress(entry.addr), entry.port};
}

inline void AppendListEntry(std::string* body, const ServerAddress& address) {
    unsigned char entry[LIST_ENTRY_SIZE];
    WriteListEntry(ToListEntry(address), entry);
    body->append(reinterpret_cast<const char*>(entry), sizeof entry);
}

// Whether the service may send a status query there, by the browser's rule: a forged heartbeat or upstream entry
// could otherwise aim our checks at port 0, "this network" or multicast, reserved and broadcast space.
inline bool IsQueryableServer(const ServerAddress& address) {
    const ListEntry entry = ToListEntry(address);
    return ::IsQueryableServer(entry.addr, entry.port);
}

// Whether the address is one of the internet's: not "this network", loopback, private (10/8, 172.16/12,
// 192.168/16, and the carriers' shared 100.64/10), link-local, multicast or reserved. A list from an upstream master
// on the internet has no business naming any other, which would aim our checks into our own networks.
inline bool IsPublicAddress(uint32_t host) {
    const struct {
        uint32_t network;
        int bits;
    } NOT_PUBLIC[] = {
        {0x00000000, 8},  {0x0A000000, 8},  {0x64400000, 10}, {0x7F000000, 8},
        {0xA9FE0000, 16}, {0xAC100000, 12}, {0xC0A80000, 16}, {0xE0000000, 3},
    };
    for (const auto& range : NOT_PUBLIC) {
        if (host >> (32 - range.bits) == range.network >> (32 - range.bits)) {
            return false;
        }
    }
    return true;
}

// "a.b.c.d:port"
std::string FormatAddress(const ServerAddress& address);

// Reads exactly a dotted quad, a colon and a decimal port (0 to 65535), as the command line and the state file
// write them.
bool ParseAddress(std::string_view text, ServerAddress* address);

} // namespace skerrow_master
