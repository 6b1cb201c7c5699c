#include "core/history/server_history.h"

#include <algorithm>

namespace {

uint16_t Bounded(int64_t value) {
    return static_cast<uint16_t>(std::clamp<int64_t>(value, 0, HISTORY_MAX_VALUE));
}

// The first slot of the day that ends with `slot`.
uint32_t FirstSlotOfDayTo(uint32_t slot) {
    return slot >= HISTORY_BUCKETS_PER_SERVER - 1 ? slot - static_cast<uint32_t>(HISTORY_BUCKETS_PER_SERVER - 1) : 0;
}

void Merge(HistoryBucket& bucket, uint16_t ping, uint16_t players, uint16_t maxClients) {
    if (bucket.samples < HISTORY_MAX_VALUE) {
        ++bucket.samples;
        bucket.pingSum += ping;
    }
    bucket.lowestPing = std::min(bucket.lowestPing, ping);
    bucket.highestPing = std::max(bucket.highestPing, ping);
    bucket.mostPlayers = std::max(bucket.mostPlayers, players);
    bucket.maxClients = maxClients;
}

} // namespace

uint32_t HistorySlotOf(int64_t time) {
    return static_cast<uint32_t>(std::clamp<int64_t>(time / HISTORY_BUCKET_SECONDS, 0, UINT32_MAX));
}

void ServerHistories::Add(uint32_t addr, uint16_t port, const HistorySample& sample) {
    if (limits_.maxServers == 0 || limits_.maxBuckets == 0) {
        return;
    }
    uint64_t key = KeyOf(addr, port);
    auto found = index_.find(key);
    if (found != index_.end()) {
        servers_.splice(servers_.begin(), servers_, found->second);
    } else {
        while (servers_.size() >= limits_.maxServers) {
            DropLeastRecent();
        }
        servers_.push_front(ServerHistory{addr, port, sample.time, {}});
        index_[key] = servers_.begin();
    }
    ServerHistory& server = servers_.front();
    server.lastHeard = sample.time;
    uint32_t slot = HistorySlotOf(sample.time);
    DropBucketsBefore(server, FirstSlotOfDayTo(slot));

    uint16_t ping = Bounded(sample.ping);
    uint16_t players = Bounded(sample.players);
    uint16_t maxClients = Bounded(sample.maxClients);
    std::vector<HistoryBucket>& buckets = server.buckets;
    // Samples come in time order but for a clock set back, whose sample goes where its time says.
    auto at = buckets.empty() || buckets.back().slot < slot
                  ? buckets.end()
                  : std::lower_bound(buckets.begin(), buckets.end(), slot,
                                     [](const HistoryBucket& bucket, uint32_t value) { return bucket.slot < value; });
    if (at != buckets.end() && at->slot == slot) {
        Merge(*at, ping, players, maxClients);
    } else {
        buckets.insert(at, HistoryBucket{slot, ping, ping, ping, 1, players, maxClients});
        ++buckets_;
        if (buckets.size() > HISTORY_BUCKETS_PER_SERVER) { // a clock set back left later buckets
            buckets.erase(buckets.begin());
            --buckets_;
        }
    }
    // Over the buckets' limit the server heard from least recently gives up its oldest bucket, and goes with its last:
    // servers long unheard go first, and when every server answers every refresh (more of them than the limit holds
    // a day of), all keep the same stretch of their last hours instead of taking turns to start again from nothing.
    while (buckets_ > limits_.maxBuckets) {
        ServerHistory& last = servers_.size() > 1 ? servers_.back() : server;
        if (last.buckets.size() > 1 || &last == &server) {
            last.buckets.erase(last.buckets.begin());
            --buckets_;
        } else {
            DropLeastRecent();
        }
    }
    ++changes_;
}

bool ServerHistories::Restore(ServerHistory server) {
    uint64_t key = KeyOf(server.addr, server.port);
    if (server.buckets.empty() || index_.count(key) || servers_.size() >= limits_.maxServers ||
        buckets_ + server.buckets.size() > limits_.maxBuckets) {
        return false;
    }
    buckets_ += server.buckets.size();
    servers_.push_back(std::move(server));
    index_[key] = std::prev(servers_.end());
    ++changes_;
    return true;
}

void ServerHistories::Expire(int64_t now) {
    uint32_t firstSlot = FirstSlotOfDayTo(HistorySlotOf(now));
    size_t before = buckets_;
    for (auto server = servers_.begin(); server != servers_.end();) {
        DropBucketsBefore(*server, firstSlot);
        if (server->buckets.empty()) {
            index_.erase(KeyOf(server->addr, server->port));
            server = servers_.erase(server);
        } else {
            ++server;
        }
    }
    if (buckets_ != before) {
        ++changes_;
    }
}

void ServerHistories::Clear() {
    servers_.clear();
    index_.clear();
    buckets_ = 0;
    ++changes_;
}

const ServerHistory* ServerHistories::Find(uint32_t addr, uint16_t port) const {
    auto found = index_.find(KeyOf(addr, port));
    return found == index_.end() ? nullptr : &*found->second;
}

std::vector<ServerHistory> ServerHistories::Copy() const {
    return std::vector<ServerHistory>(servers_.begin(), servers_.end());
}

void ServerHistories::DropLeastRecent() {
    const ServerHistory& last = servers_.back();
    buckets_ -= last.buckets.size();
    index_.erase(KeyOf(last.addr, last.port));
    servers_.pop_back();
}

void ServerHistories::DropBucketsBefore(ServerHistory& server, uint32_t firstSlot) {
    auto kept = std::find_if(server.buckets.begin(), server.buckets.end(),
                             [&](const HistoryBucket& bucket) { return bucket.slot >= firstSlot; });
    buckets_ -= static_cast<size_t>(kept - server.buckets.begin());
    server.buckets.erase(server.buckets.begin(), kept);
}
