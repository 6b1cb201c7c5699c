#include "master_port.h"

#include "master_datagram.h"

#include <algorithm>

namespace skerrow_master {

namespace {

// Per source address. A host may run as many servers as the store takes from one address (128), each sending a
// ping and a heartbeat when it starts and a shutdown when it stops, all at once.
constexpr double SERVER_BURST = 512;
constexpr double SERVER_PER_SECOND = 8;
constexpr double QUERY_BURST = 3;
constexpr double QUERY_PER_SECOND = 3.0 / 60;
// All query sources together: at most this many `servers` replies (up to 65 KB each) a second.
constexpr double ALL_QUERIES_BURST = 20;
constexpr double ALL_QUERIES_PER_SECOND = 10;
// The bytes of `servers` replies that go to one /24, whatever its addresses: at most 196,608 + 60 * 10,000 bytes in
// any minute. Its table only grows by a reply that all sources' limit let through (at most 620 a minute), so it is
// never full of /24s whose buckets have not filled up again: none is pushed out while it still counts.
constexpr double SUBNET_REPLY_BURST = 196608;
constexpr double SUBNET_REPLY_PER_SECOND = 10000;
constexpr size_t MAX_SUBNETS = 4096;
// Acks to everyone together. A game server only logs the ack, so one lost in a flood costs nothing; this bounds what
// spoofed pings can aim at one /24 to 7 * (200 + 60 * 200) bytes a minute.
constexpr double ALL_ACKS_BURST = 200;
constexpr double ALL_ACKS_PER_SECOND = 200;

// The rate limits' key for a source: its address as the number of its octets, so a /24 is that number shifted.
uint32_t Source(const ListEntry& from) {
    return OctetsOfAddress(from.addr);
}

uint32_t Subnet(uint32_t source) {
    return source >> 8;
}

} // namespace

void MasterPortCounts::Add(const MasterPortCounts& other) {
    heartbeats += other.heartbeats;
    shutdowns += other.shutdowns;
    pings += other.pings;
    queries += other.queries;
    malformed += other.malformed;
    oversize += other.oversize;
    rate_limited += other.rate_limited;
    queries_refused += other.queries_refused;
}

MasterPort::MasterPort(asio::io_context& io, ServerStore* store, size_t max_sources, std::function<void()> checks_due)
    : socket_(io), store_(store), checks_due_(std::move(checks_due)),
      server_limit_(SERVER_BURST, SERVER_PER_SECOND, max_sources),
      query_limit_(QUERY_BURST, QUERY_PER_SECOND, max_sources),
      all_queries_limit_(ALL_QUERIES_BURST, ALL_QUERIES_PER_SECOND, 1),
      subnet_reply_limit_(SUBNET_REPLY_BURST, SUBNET_REPLY_PER_SECOND, MAX_SUBNETS),
      all_acks_limit_(ALL_ACKS_BURST, ALL_ACKS_PER_SECOND, 1) {}

bool MasterPort::Open(const ListEntry& local, std::string* error) {
    return socket_.Open(
        local, [this](const ListEntry& from, const unsigned char* data, size_t size) { Handle(from, data, size); },
        error);
}

MasterPortCounts MasterPort::TakeCounts() {
    MasterPortCounts taken = counts_;
    counts_ = {};
    return taken;
}

void MasterPort::Handle(const ListEntry& from, const unsigned char* data, size_t size) {
    if (size > MAX_DATAGRAM_BYTES) {
        ++counts_.oversize;
        return;
    }
    MasterCommand command = ParseMasterCommand(data, size);
    if (command == MasterCommand::Unknown) {
        ++counts_.malformed;
        return;
    }
    Clock::time_point now = Clock::now();
    if (command == MasterCommand::Query) {
        AnswerQuery(from);
        return;
    }
    if (!server_limit_.Allow(Source(from), now)) {
        ++counts_.rate_limited;
        return;
    }
    switch (command) {
    case MasterCommand::Heartbeat:
        ++counts_.heartbeats;
        store_->Offer(from, now);
        break;
    case MasterCommand::Shutdown:
        ++counts_.shutdowns;
        store_->Shutdown(from, now);
        break;
    default:
        ++counts_.pings;
        if (all_acks_limit_.Allow(0, now)) {
            socket_.SendTo(from, ACK_DATAGRAM, ACK_DATAGRAM_BYTES);
        }
        return;
    }
    if (store_->HasChecksDue()) {
        checks_due_();
    }
}

void MasterPort::AnswerQuery(const ListEntry& from) {
    Clock::time_point now = Clock::now();
    // Nothing is spent unless all three allow the reply, so a source refused by one keeps what the others gave it;
    // the size is known before the reply is built, so a refused query costs no list.
    size_t bytes = SERVERS_REPLY_HEADER_SIZE + std::min(store_->listed(), MAX_SERVERS_REPLY_ENTRIES) * LIST_ENTRY_SIZE;
    if (!query_limit_.Has(Source(from), now) || !all_queries_limit_.Has(0, now) ||
        !subnet_reply_limit_.Allow(Subnet(Source(from)), now, static_cast<double>(bytes))) {
        ++counts_.rate_limited;
        ++counts_.queries_refused;
        return;
    }
    query_limit_.Allow(Source(from), now);
    all_queries_limit_.Allow(0, now);
    ++counts_.queries;
    std::string reply = BuildServersReply(store_->ListedAddresses());
    socket_.SendTo(from, reply.data(), reply.size());
}

} // namespace skerrow_master
