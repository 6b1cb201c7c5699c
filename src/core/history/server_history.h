// Each server's ping and players over the last day, in five-minute buckets: what the server info dialog draws and the
// history file keeps. Bounded in servers and in buckets; the servers heard from least recently go first. Portable
// (no Win32); the user interface thread owns the one the window keeps, and a save works on a copy of its servers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <list>
#include <unordered_map>
#include <vector>

constexpr int64_t HISTORY_BUCKET_SECONDS = 5 * 60;
constexpr int64_t HISTORY_SPAN_SECONDS = 24 * 60 * 60;
constexpr size_t HISTORY_BUCKETS_PER_SERVER = HISTORY_SPAN_SECONDS / HISTORY_BUCKET_SECONDS; // 288
constexpr size_t HISTORY_MAX_SERVERS = 20000;
// 20 bytes each: about 20 MB at most, held in memory only by servers that answer often.
constexpr size_t HISTORY_MAX_BUCKETS = 1000000;
// Values above it are kept as it.
constexpr uint32_t HISTORY_MAX_VALUE = 65535;

// One accepted reply.
struct HistorySample {
    int64_t time; // seconds since 1970-01-01 00:00 UTC
    uint32_t ping;
    int32_t players;
    int32_t maxClients;
};

// The replies of one five-minute stretch.
struct HistoryBucket {
    uint32_t slot;    // the stretch's number: its start in seconds since 1970 over HISTORY_BUCKET_SECONDS
    uint32_t pingSum; // of `samples` pings, each at most HISTORY_MAX_VALUE, so it never overflows
    uint16_t lowestPing;
    uint16_t highestPing;
    uint16_t samples; // 1 and up; stops growing at HISTORY_MAX_VALUE, and so does pingSum
    uint16_t mostPlayers;
    uint16_t maxClients; // the last reply's

    int64_t Start() const { return static_cast<int64_t>(slot) * HISTORY_BUCKET_SECONDS; }
    uint16_t MeanPing() const { return static_cast<uint16_t>((pingSum + samples / 2u) / samples); }
};

struct ServerHistory {
    uint32_t addr; // network byte order
    uint16_t port;
    int64_t lastHeard;                  // the latest sample's time
    std::vector<HistoryBucket> buckets; // oldest first, each slot once, at most HISTORY_BUCKETS_PER_SERVER
};

struct HistoryLimits {
    size_t maxServers = HISTORY_MAX_SERVERS;
    size_t maxBuckets = HISTORY_MAX_BUCKETS;
};

// The bucket slot of a time (none before 1970, none past what 32 bits of slots reach).
uint32_t HistorySlotOf(int64_t time);

class ServerHistories {
public:
    explicit ServerHistories(HistoryLimits limits = {}) : limits_(limits) {}
    // The list's entries are found through iterators into it: a copy would point into the original.
    ServerHistories(const ServerHistories&) = delete;
    ServerHistories& operator=(const ServerHistories&) = delete;

    // The sample goes into its bucket, and the server becomes the one heard from most recently. Buckets a day older
    // than the sample go; a server or a bucket over the limits makes room by dropping the least recently heard.
    void Add(uint32_t addr, uint16_t port, const HistorySample& sample);
    // A server read back, heard from less recently than those already kept (a file lists the most recent first).
    // False (and nothing kept) when the server is kept already or the limits are reached.
    bool Restore(ServerHistory server);
    // Drops the buckets that ended a day or more before `now`, and the servers left with none.
    void Expire(int64_t now);
    void Clear();

    const ServerHistory* Find(uint32_t addr, uint16_t port) const;
    // Most recently heard first, as a save writes them.
    std::vector<ServerHistory> Copy() const;
    size_t ServerCount() const { return servers_.size(); }
    size_t BucketCount() const { return buckets_; }
    // Grows with every change: a save is due when it differs from the one the last save was made at.
    uint64_t Changes() const { return changes_; }

private:
    using Servers = std::list<ServerHistory>;
    static uint64_t KeyOf(uint32_t addr, uint16_t port) { return (static_cast<uint64_t>(addr) << 16) | port; }
    void DropLeastRecent();
    void DropBucketsBefore(ServerHistory& server, uint32_t firstSlot);

    HistoryLimits limits_;
    Servers servers_; // most recently heard first
    std::unordered_map<uint64_t, Servers::iterator> index_;
    size_t buckets_ = 0;
    uint64_t changes_ = 0;
};
