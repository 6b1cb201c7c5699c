#include "core/watch/watch_schedule.h"

#include <algorithm>

WatchSchedule::Watched* WatchSchedule::Find(uint32_t addr, uint16_t port) {
    auto found = std::find_if(servers_.begin(), servers_.end(),
                              [&](const Watched& server) { return server.addr == addr && server.port == port; });
    return found == servers_.end() ? nullptr : &*found;
}

const WatchSchedule::Watched* WatchSchedule::Find(uint32_t addr, uint16_t port) const {
    return const_cast<WatchSchedule*>(this)->Find(addr, port);
}

void WatchSchedule::Watch(const std::vector<std::pair<uint32_t, uint16_t>>& servers) {
    std::vector<Watched> next;
    next.reserve(servers.size());
    for (const auto& server : servers) {
        uint32_t addr = server.first;
        uint16_t port = server.second;
        bool twice = std::any_of(next.begin(), next.end(),
                                 [&](const Watched& kept) { return kept.addr == addr && kept.port == port; });
        if (twice) {
            continue;
        }
        const Watched* known = Find(addr, port);
        next.push_back(known ? *known : Watched{addr, port});
    }
    servers_ = std::move(next);
}

bool WatchSchedule::Watching(uint32_t addr, uint16_t port) const {
    return Find(addr, port) != nullptr;
}

std::vector<std::pair<uint32_t, uint16_t>> WatchSchedule::TakeDue(uint64_t nowMs, std::vector<WatchChange>& changes) {
    std::vector<std::pair<uint32_t, uint16_t>> due;
    for (Watched& server : servers_) {
        if (server.queried && nowMs - server.lastQueryMs < WATCH_QUERY_INTERVAL_MS) {
            continue;
        }
        if (server.awaiting && ++server.missed == WATCH_MISSES_NOTED) {
            WatchChange change;
            change.addr = server.addr;
            change.port = server.port;
            change.stopped = true;
            changes.push_back(change);
        }
        server.queried = true;
        server.lastQueryMs = nowMs;
        server.awaiting = true;
        due.emplace_back(server.addr, server.port);
    }
    return due;
}

void WatchSchedule::NoteQueried(uint32_t addr, uint16_t port, uint64_t atMs, bool answered) {
    Watched* server = Find(addr, port);
    if (!server || (server->queried && server->lastQueryMs > atMs)) {
        return;
    }
    server->queried = true;
    server->lastQueryMs = atMs;
    server->awaiting = !answered;
}

bool WatchSchedule::NoteAnswer(uint32_t addr, uint16_t port, int32_t players, int32_t maxClients,
                               WatchChange& change) {
    Watched* server = Find(addr, port);
    if (!server) {
        return false;
    }
    change = WatchChange{};
    change.addr = addr;
    change.port = port;
    change.answersAgain = server->missed >= WATCH_MISSES_NOTED;
    // A server that says it holds no one (maxclients 0 or absent) is never full.
    bool full = maxClients > 0 && players >= maxClients;
    change.slotFreed = server->heard && server->full && !full;
    server->awaiting = false;
    server->missed = 0;
    server->full = full;
    server->heard = true;
    return change.slotFreed || change.answersAgain;
}

uint64_t WatchSchedule::MsUntilDue(uint64_t nowMs) const {
    uint64_t soonest = UINT64_MAX;
    for (const Watched& server : servers_) {
        if (!server.queried) {
            return 0;
        }
        uint64_t since = nowMs - server.lastQueryMs;
        soonest = std::min(soonest, since >= WATCH_QUERY_INTERVAL_MS ? 0 : WATCH_QUERY_INTERVAL_MS - since);
    }
    return soonest;
}
