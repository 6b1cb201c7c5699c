// Any master list body decodes into one record per distinct (address, port) pair, in the order each pair first
// appears, within the capacity the body's length gives, and touches nothing else of the records.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <set>
#include <utility>
#include <vector>

#include "net/server_list_decode.h"
#include "require.h"

// Bodies past this many entries take the decoder through no path that shorter ones do not, while every entry costs
// the check below a whole record; the cap keeps runs fast.
constexpr size_t MAX_FUZZED_ENTRIES = 40;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > MAX_FUZZED_ENTRIES * SERVER_ENTRY_SIZE + SERVER_ENTRY_SIZE - 1) {
        return 0;
    }
    std::vector<unsigned char> body(data, data + size);
    auto length = static_cast<uint32_t>(body.size());
    uint32_t capacity = ServerListCapacity(length);
    // Allocated once: with a fresh block for each run, most of the time would go to the allocator.
    static ServerRecord* const block =
        static_cast<ServerRecord*>(std::calloc(MAX_FUZZED_ENTRIES, sizeof(ServerRecord)));
    ServerRecord* records = block + (MAX_FUZZED_ENTRIES - capacity); // so a write past the last one leaves the block
    std::memset(static_cast<void*>(records), 0, capacity * sizeof(ServerRecord));

    int32_t count = DecodeServerList(body.data(), length, records);
    Require(count >= 0 && static_cast<uint32_t>(count) <= capacity);

    // The expected records, first appearances in body order.
    std::vector<std::pair<uint32_t, uint16_t>> expected;
    std::set<std::pair<uint32_t, uint16_t>> seen;
    for (uint32_t offset = 0; offset + SERVER_ENTRY_SIZE <= length; offset += SERVER_ENTRY_SIZE) {
        uint32_t addr;
        std::memcpy(&addr, &body[offset], 4);
        auto port = static_cast<uint16_t>(body[offset + 4] << 8 | body[offset + 5]);
        if (seen.insert({addr, port}).second) {
            expected.emplace_back(addr, port);
        }
    }
    Require(static_cast<size_t>(count) == expected.size());

    for (uint32_t i = 0; i < capacity; ++i) {
        if (i < static_cast<uint32_t>(count)) {
            Require(records[i].addr == expected[i].first && records[i].port == expected[i].second);
        }
        // Every other byte stays zero.
        unsigned char bytes[sizeof(ServerRecord)];
        std::memcpy(bytes, &records[i], sizeof bytes);
        std::memset(bytes + offsetof(ServerRecord, addr), 0, sizeof records[i].addr);
        std::memset(bytes + offsetof(ServerRecord, port), 0, sizeof records[i].port);
        static const unsigned char zeros[sizeof(ServerRecord)] = {};
        Require(std::memcmp(bytes, zeros, sizeof bytes) == 0);
    }
    Require(CountUnansweredRecords(records, count) == count);
    return 0;
}
