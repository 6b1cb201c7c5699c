// Any master list body makes a table of one record per distinct (address, port) pair, in the order each pair first
// appears, and touches nothing else of the records.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <set>
#include <utility>
#include <vector>

#include "core/protocol/list_entry.h"
#include "core/run/server_table.h"
#include "require.h"

// Bodies past this many entries take the table through no path that shorter ones do not, while every entry costs
// the check below a whole record; the cap keeps runs fast.
constexpr size_t MAX_FUZZED_ENTRIES = 40;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > MAX_FUZZED_ENTRIES * LIST_ENTRY_SIZE + LIST_ENTRY_SIZE - 1) {
        return 0;
    }
    std::vector<unsigned char> body(data, data + size);
    auto length = static_cast<uint32_t>(body.size());
    std::shared_ptr<ServerTable> table = BuildServerTable(body.data(), length, MasterSource(2));
    Require(table != nullptr);

    // The expected records, first appearances in body order.
    std::vector<std::pair<uint32_t, uint16_t>> expected;
    std::set<std::pair<uint32_t, uint16_t>> seen;
    for (uint32_t offset = 0; offset + LIST_ENTRY_SIZE <= length; offset += LIST_ENTRY_SIZE) {
        uint32_t addr;
        std::memcpy(&addr, &body[offset], 4);
        auto port = static_cast<uint16_t>(body[offset + 4] << 8 | body[offset + 5]);
        if (seen.insert({addr, port}).second) {
            expected.emplace_back(addr, port);
        }
    }
    Require(table->size() == expected.size());

    for (size_t i = 0; i < table->size(); ++i) {
        const ServerRecord& record = (*table)[i];
        Require(record.addr == expected[i].first && record.port == expected[i].second);
        Require(record.sources.load() == MasterSource(2));
        // Every other byte is zero.
        unsigned char bytes[sizeof(ServerRecord)];
        std::memcpy(bytes, &record, sizeof bytes);
        std::memset(bytes + offsetof(ServerRecord, addr), 0, sizeof record.addr);
        std::memset(bytes + offsetof(ServerRecord, port), 0, sizeof record.port);
        std::memset(bytes + offsetof(ServerRecord, sources), 0, sizeof record.sources);
        static const unsigned char zeros[sizeof(ServerRecord)] = {};
        Require(std::memcmp(bytes, zeros, sizeof bytes) == 0);
    }
    Require(CountUnanswered(*table) == static_cast<int32_t>(table->size()));
    return 0;
}
