// A game server's IPv4 address and port as the service keeps them: the browser's own ListEntry (address in network
// byte order, port in host order; core/protocol/list_entry.h), which also writes the 6-byte entry of the master list
// body and the classic `servers` reply. Here are what the service adds: its keys and ranges by the octets' number,
// and the text form of its command line, log and state file.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "core/protocol/list_entry.h"

namespace skerrow_master {

// a.b.c.d:port from the number a << 24 | b << 16 | c << 8 | d and the port.
inline ListEntry FromOctets(uint32_t octets, uint16_t port) {
    return {AddressFromOctets(octets), port};
}

// One number for the address and port, in the octets' order: the web page sorts servers by it, and the store files
// them under it, which also spreads their re-checks over the interval.
inline uint64_t AddressKey(const ListEntry& address) {
    return static_cast<uint64_t>(OctetsOfAddress(address.addr)) << 16 | address.port;
}

inline ListEntry AddressFromKey(uint64_t key) {
    return FromOctets(static_cast<uint32_t>(key >> 16), static_cast<uint16_t>(key & 0xFFFF));
}

inline void AppendListEntry(std::string* body, const ListEntry& address) {
    unsigned char entry[LIST_ENTRY_SIZE];
    WriteListEntry(address, entry);
    body->append(reinterpret_cast<const char*>(entry), sizeof entry);
}

// Whether the service may send a status query there, by the browser's rule: a forged heartbeat or upstream entry
// could otherwise aim our checks at port 0, "this network" or multicast, reserved and broadcast space.
inline bool IsQueryableServer(const ListEntry& address) {
    return ::IsQueryableServer(address.addr, address.port);
}

// Whether the address (network byte order) is one of the internet's: not "this network", loopback, private (10/8,
// 172.16/12, 192.168/16, and the carriers' shared 100.64/10), link-local, multicast or reserved. A list from an
// upstream master on the internet has no business naming any other, which would aim our checks into our own
// networks.
inline bool IsPublicAddress(uint32_t addr) {
    const struct {
        uint32_t network;
        int bits;
    } NOT_PUBLIC[] = {
        {0x00000000, 8},  {0x0A000000, 8},  {0x64400000, 10}, {0x7F000000, 8},
        {0xA9FE0000, 16}, {0xAC100000, 12}, {0xC0A80000, 16}, {0xE0000000, 3},
    };
    const uint32_t octets = OctetsOfAddress(addr);
    for (const auto& range : NOT_PUBLIC) {
        if (octets >> (32 - range.bits) == range.network >> (32 - range.bits)) {
            return false;
        }
    }
    return true;
}

// "a.b.c.d:port"
std::string FormatAddress(const ListEntry& address);

// Reads exactly a dotted quad, a colon and a decimal port (0 to 65535), as the command line and the state file
// write them.
bool ParseAddress(std::string_view text, ListEntry* address);

} // namespace skerrow_master
