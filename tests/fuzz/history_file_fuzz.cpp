// Any bytes are read without reading outside them, and only a sound history is taken: its servers keep the bounds
// the program relies on, and what is written back from them reads back the same. Each input is read twice: as it
// is, and with its last four bytes made its checksum, so the reader's checks beyond the checksum are reached too.
#include <cstdint>
#include <vector>

#include "core/history/history_file.h"
#include "core/settings/remembered_list.h"
#include "require.h"

namespace {

constexpr int64_t SAVED_AT = 1796688000;

bool SameServers(const std::vector<ServerHistory>& a, const std::vector<ServerHistory>& b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (size_t i = 0; i < a.size(); ++i) {
        if (a[i].addr != b[i].addr || a[i].port != b[i].port || a[i].lastHeard != b[i].lastHeard ||
            a[i].buckets.size() != b[i].buckets.size()) {
            return false;
        }
        for (size_t j = 0; j < a[i].buckets.size(); ++j) {
            const HistoryBucket& x = a[i].buckets[j];
            const HistoryBucket& y = b[i].buckets[j];
            if (x.slot != y.slot || x.MeanPing() != y.MeanPing() || x.lowestPing != y.lowestPing ||
                x.highestPing != y.highestPing || x.samples != y.samples || x.mostPlayers != y.mostPlayers ||
                x.maxClients != y.maxClients) {
                return false;
            }
        }
    }
    return true;
}

void ReadAndCompare(const unsigned char* data, size_t size) {
    DecodedHistory decoded = DecodeHistory(data, size);
    if (decoded.kind != HistoryFileKind::Read) {
        Require(decoded.servers.empty());
        return;
    }
    Require(decoded.servers.size() <= HISTORY_MAX_SERVERS);
    for (const ServerHistory& server : decoded.servers) {
        Require(!server.buckets.empty() && server.buckets.size() <= HISTORY_BUCKETS_PER_SERVER);
        Require(server.lastHeard >= 0);
        for (size_t i = 0; i < server.buckets.size(); ++i) {
            const HistoryBucket& bucket = server.buckets[i];
            Require(i == 0 || bucket.slot > server.buckets[i - 1].slot);
            Require(bucket.samples > 0);
            Require(bucket.lowestPing <= bucket.MeanPing() && bucket.MeanPing() <= bucket.highestPing);
        }
    }
    // Kept, copied and written as the program does, then read again.
    ServerHistories kept;
    for (const ServerHistory& server : decoded.servers) {
        Require(kept.Restore(server));
    }
    std::vector<ServerHistory> copy = kept.Copy();
    Require(SameServers(copy, decoded.servers));
    std::vector<unsigned char> written = EncodeHistory(copy, SAVED_AT);
    DecodedHistory again = DecodeHistory(written.data(), written.size());
    Require(again.kind == HistoryFileKind::Read && SameServers(again.servers, decoded.servers));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > HISTORY_FILE_MAX_BYTES + 1) {
        return 0; // the reader rejects these on their size alone
    }
    ReadAndCompare(data, size);
    if (size >= 4) {
        std::vector<unsigned char> sealed(data, data + size);
        uint32_t crc = RememberedListChecksum(sealed.data(), size - 4);
        for (int i = 0; i < 4; ++i) {
            sealed[size - 4 + i] = static_cast<unsigned char>(crc >> (8 * i));
        }
        ReadAndCompare(sealed.data(), size);
    }
    return 0;
}
