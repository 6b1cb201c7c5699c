// A game server's IPv4 address and port as the service keeps them, and the 6-byte entry that carries one in the
// master list body and in the classic `servers` reply: 4 address bytes, then the port, both in network order.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

struct ServerAddress {
    uint32_t host = 0; // host byte order
    uint16_t port = 0;

    bool operator==(const ServerAddress& other) const { return host == other.host && port == other.port; }
};

constexpr size_t SERVER_ENTRY_BYTES = 6;

inline uint64_t AddressKey(const ServerAddress& address) {
    return static_cast<uint64_t>(address.host) << 16 | address.port;
}

inline ServerAddress AddressFromKey(uint64_t key) {
    return {static_cast<uint32_t>(key >> 16), static_cast<uint16_t>(key & 0xFFFF)};
}

inline void AppendServerEntry(std::string* body, const ServerAddress& address) {
    const char entry[SERVER_ENTRY_BYTES] = {
        static_cast<char>(address.host >> 24), static_cast<char>(address.host >> 16),
        static_cast<char>(address.host >> 8),  static_cast<char>(address.host),
        static_cast<char>(address.port >> 8),  static_cast<char>(address.port),
    };
    body->append(entry, SERVER_ENTRY_BYTES);
}

inline ServerAddress ReadServerEntry(const unsigned char* entry) {
    return {static_cast<uint32_t>(entry[0]) << 24 | static_cast<uint32_t>(entry[1]) << 16 |
                static_cast<uint32_t>(entry[2]) << 8 | entry[3],
            static_cast<uint16_t>(entry[4] << 8 | entry[5])};
}

// Whether the service may send a status query there: never to port 0, to "this network" (0.0.0.0/8), or to
// multicast, reserved and broadcast space (224.0.0.0 and up), which a forged heartbeat or upstream entry could
// otherwise aim our checks at.
inline bool IsCheckable(const ServerAddress& address) {
    uint32_t first_octet = address.host >> 24;
    return address.port != 0 && first_octet != 0 && first_octet < 224;
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
