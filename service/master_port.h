// The master port (--udp): heartbeats, shutdowns and pings from game servers, list queries from clients. Every
// source address has its own rate limits: the `servers` reply to a 7-byte query can be 65 KB, so a source gets a
// few a minute, one /24 a bounded number of bytes a minute and all sources together a few a second; heartbeats,
// shutdowns and pings share a looser one. Source addresses can be forged: a full table of sources makes room for a
// newcomer instead of refusing it.
#pragma once

#include <cstdint>
#include <functional>

#include "datagram_socket.h"
#include "log.h"
#include "rate_limiter.h"
#include "server_store.h"

namespace skerrow_master {

// Datagrams by what became of them, since start or since the last TakeCounts.
struct MasterPortCounts {
    uint64_t heartbeats = 0;
    uint64_t shutdowns = 0;
    uint64_t pings = 0;
    uint64_t queries = 0;
    uint64_t malformed = 0;
    uint64_t oversize = 0;
    uint64_t rate_limited = 0;
    uint64_t queries_refused = 0; // of the rate-limited, the list queries

    uint64_t Handled() const { return heartbeats + shutdowns + pings + queries; }
    uint64_t Dropped() const { return malformed + oversize + rate_limited; }
    void Add(const MasterPortCounts& other);
};

class MasterPort {
public:
    // max_sources: the size of each per-address table. checks_due: called when a heartbeat or shutdown has queued a
    // check.
    MasterPort(asio::io_context& io, ServerStore* store, size_t max_sources, std::function<void()> checks_due);

    bool Open(const ListEntry& local, std::string* error);
    void Close() { socket_.Close(); }
    ListEntry local() const { return socket_.local(); }
    MasterPortCounts TakeCounts();
    // Since the last TakeCounts.
    const MasterPortCounts& counts() const { return counts_; }

private:
    void Handle(const ListEntry& from, const unsigned char* data, size_t size);
    void AnswerQuery(const ListEntry& from);

    DatagramSocket socket_;
    ServerStore* store_;
    std::function<void()> checks_due_;
    RateLimiter server_limit_;
    RateLimiter query_limit_;
    RateLimiter all_queries_limit_;
    RateLimiter subnet_reply_limit_;
    RateLimiter all_acks_limit_;
    MasterPortCounts counts_;
};

} // namespace skerrow_master
