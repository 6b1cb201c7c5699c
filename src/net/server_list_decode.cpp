#include "net/server_list_decode.h"

#include <unordered_set>

int32_t DecodeServerList(const unsigned char* body, uint32_t length, ServerRecord* records) {
    // The pairs seen so far as 48-bit keys: comparing each entry with every record before it made a full list of
    // ten thousand servers take a third of a second.
    std::unordered_set<uint64_t> seen;
    seen.reserve(ServerListCapacity(length));
    int32_t count = 0;
    for (uint32_t offset = 0; length - offset >= SERVER_ENTRY_SIZE; offset += SERVER_ENTRY_SIZE) {
        uint32_t addr;
        uint16_t port;
        ReadListEntry(body + offset, addr, port);
        if (seen.insert(ServerPairKey(addr, port)).second) {
            records[count].addr = addr;
            records[count].port = port;
            ++count;
        }
    }
    return count;
}

int32_t CountUnansweredRecords(const ServerRecord* records, int32_t count) {
    int32_t unanswered = 0;
    for (int32_t i = 0; i < count; ++i) {
        if (records[i].answered == 0) {
            ++unanswered;
        }
    }
    return unanswered;
}
