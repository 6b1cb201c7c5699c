// Any lists from any sources merge into a run's table as each queryable (address, port) pair once, in the order each
// first appears, with every source that named it; pairs that name no game server are left out and new ones past the
// table's limit turned away. Claiming every server makes its record, zero but for what the claim writes, and a reply
// is taken once for each.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <map>
#include <memory>
#include <utility>
#include <vector>

#include "core/protocol/list_entry.h"
#include "core/run/run_table.h"
#include "require.h"

namespace {

// Small, so that turning servers away is exercised; bodies past a few times this take no new path.
constexpr size_t LIMIT = 24;
constexpr size_t MAX_FUZZED_BYTES = 1 + LIMIT * 4 * LIST_ENTRY_SIZE;

using Pair = std::pair<uint32_t, uint16_t>;

// What the table should hold, worked out by hand from the bytes.
struct Expected {
    std::vector<Pair> order;
    std::map<Pair, SourceSet> sources;
    MergeCount count;

    void Merge(const unsigned char* bytes, size_t length, SourceSet source) {
        count = MergeCount{};
        for (size_t offset = 0; offset + LIST_ENTRY_SIZE <= length; offset += LIST_ENTRY_SIZE) {
            uint32_t addr;
            std::memcpy(&addr, bytes + offset, 4);
            auto port = static_cast<uint16_t>(bytes[offset + 4] << 8 | bytes[offset + 5]);
            unsigned char firstOctet = bytes[offset];
            if (port == 0 || firstOctet == 0 || firstOctet >= 224) {
                ++count.unqueryable;
            } else if (sources.count({addr, port})) {
                sources[{addr, port}] |= source;
            } else if (order.size() < LIMIT) {
                order.emplace_back(addr, port);
                sources[{addr, port}] = source;
                ++count.added;
            } else {
                ++count.refused;
            }
        }
    }
};

void RequireSameCount(const MergeCount& a, const MergeCount& b) {
    Require(a.added == b.added && a.refused == b.refused && a.unqueryable == b.unqueryable);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1 || size > MAX_FUZZED_BYTES) {
        return 0;
    }
    // The first byte splits the rest into a master's list and the favourites; either may end in a fragment.
    const unsigned char* body = data + 1;
    size_t length = size - 1;
    size_t split = data[0] < length ? data[0] : length;
    std::unique_ptr<WakeSignal> progress = MakeWakeSignal();
    RunTable table(LIMIT, true, *progress);
    Expected expected;
    expected.Merge(body, split, MasterSource(2));
    RequireSameCount(table.Merge(body, split, MasterSource(2)), expected.count);
    expected.Merge(body + split, length - split, SOURCE_FAVOURITE);
    RequireSameCount(table.Merge(body + split, length - split, SOURCE_FAVOURITE), expected.count);
    Require(table.Size() == expected.order.size());

    size_t fromMaster = 0;
    for (size_t i = 0; i < expected.order.size(); ++i) {
        QueryClaim claim = table.ClaimQuery(i, 3, 1000);
        Require(claim.outcome == ClaimOutcome::Send && claim.attempt == 1);
        const ServerRecord& record = (*table.Records())[i];
        SourceSet sources = expected.sources[expected.order[i]];
        Require(record.addr == expected.order[i].first && record.port == expected.order[i].second);
        Require(record.sources.load() == sources && record.attempts == 1 && record.queryTime == 1000);
        fromMaster += (sources & MasterSource(2)) != 0 ? 1 : 0;
        unsigned char bytes[sizeof(ServerRecord)];
        std::memcpy(bytes, &record, sizeof bytes);
        std::memset(bytes + offsetof(ServerRecord, addr), 0, sizeof record.addr);
        std::memset(bytes + offsetof(ServerRecord, port), 0, sizeof record.port);
        std::memset(bytes + offsetof(ServerRecord, sources), 0, sizeof record.sources);
        std::memset(bytes + offsetof(ServerRecord, queryTime), 0, sizeof record.queryTime);
        std::memset(bytes + offsetof(ServerRecord, attempts), 0, sizeof record.attempts);
        static const unsigned char zeros[sizeof(ServerRecord)] = {};
        Require(std::memcmp(bytes, zeros, sizeof bytes) == 0);
    }
    Require(table.ServersNamedBy(MasterSource(2)).size() == fromMaster);

    for (size_t i = 0; i < expected.order.size(); ++i) {
        int32_t index = -1;
        uint32_t queryTime = 0;
        const Pair& server = expected.order[i];
        ReplyReading reading{1010, true, false};
        Require(table.AcceptReply(server.first, server.second, reading, &index, &queryTime) == &(*table.Records())[i]);
        Require(index == static_cast<int32_t>(i) && queryTime == 1000);
        Require(table.AcceptReply(server.first, server.second, reading, &index, &queryTime) == nullptr);
    }
    Require(table.AllAnswered() && table.Answered() == static_cast<int32_t>(expected.order.size()));
    return 0;
}
