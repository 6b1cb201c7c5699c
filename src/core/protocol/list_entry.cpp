#include "core/protocol/list_entry.h"

#include <cstring>

ListEntry ReadListEntry(const unsigned char* bytes) {
    ListEntry entry;
    std::memcpy(&entry.addr, bytes, sizeof entry.addr);
    entry.port = static_cast<uint16_t>(bytes[4] << 8 | bytes[5]);
    return entry;
}

void WriteListEntry(const ListEntry& entry, unsigned char* bytes) {
    std::memcpy(bytes, &entry.addr, sizeof entry.addr);
    bytes[4] = static_cast<unsigned char>(entry.port >> 8);
    bytes[5] = static_cast<unsigned char>(entry.port);
}

uint32_t AddressFromOctets(uint32_t octets) {
    const unsigned char bytes[4] = {static_cast<unsigned char>(octets >> 24), static_cast<unsigned char>(octets >> 16),
                                    static_cast<unsigned char>(octets >> 8), static_cast<unsigned char>(octets)};
    uint32_t addr;
    std::memcpy(&addr, bytes, sizeof addr);
    return addr;
}

uint32_t OctetsOfAddress(uint32_t addr) {
    unsigned char bytes[4];
    std::memcpy(bytes, &addr, sizeof bytes);
    return static_cast<uint32_t>(bytes[0]) << 24 | static_cast<uint32_t>(bytes[1]) << 16 |
           static_cast<uint32_t>(bytes[2]) << 8 | bytes[3];
}

bool IsQueryableServer(uint32_t addr, uint16_t port) {
    uint32_t firstOctet = OctetsOfAddress(addr) >> 24;
    return port != 0 && firstOctet != 0 && firstOctet < 224;
}
