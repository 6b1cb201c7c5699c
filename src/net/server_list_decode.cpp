#include "net/server_list_decode.h"

#include <cstring>

int32_t DecodeServerList(const unsigned char* body, uint32_t length, ServerRecord* records) {
    int32_t count = 0;
    for (uint32_t offset = 0; length - offset >= SERVER_ENTRY_SIZE; offset += SERVER_ENTRY_SIZE) {
        ServerRecord& slot = records[count];
        std::memcpy(&slot.addr, body + offset, sizeof slot.addr);
        slot.port = static_cast<uint16_t>(body[offset + 4] << 8 | body[offset + 5]);

        // A pair seen before leaves the count alone, so the next entry is written over the same slot.
        bool seen = false;
        for (int32_t i = 0; i < count && !seen; ++i) {
            seen = records[i].addr == slot.addr && records[i].port == slot.port;
        }
        if (!seen) {
            ++count;
        }
    }
    // A duplicate last entry leaves its pair in the first unused slot; clear it so unused records stay zero.
    if (static_cast<uint32_t>(count) < ServerListCapacity(length)) {
        records[count].addr = 0;
        records[count].port = 0;
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
