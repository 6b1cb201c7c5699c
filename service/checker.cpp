#include "checker.h"

#include <algorithm>

#include "check_reply.h"
#include "core/protocol/status_reply.h"
#include "master_datagram.h"

namespace skerrow_master {

namespace {

constexpr std::chrono::milliseconds TICK(10);

} // namespace

Checker::Checker(asio::io_context& io, ServerStore* store, int checks_per_second)
    : socket_(io), pace_(io), store_(store), per_tick_(static_cast<size_t>(std::max(1, checks_per_second / 100))) {}

bool Checker::Open(const ListEntry& local, std::string* error) {
    return socket_.Open(
        local, [this](const ListEntry& from, const unsigned char* data, size_t size) { Handle(from, data, size); },
        error);
}

void Checker::Close() {
    pace_.cancel();
    socket_.Close();
}

void Checker::Wake() {
    if (sending_) {
        return;
    }
    // No sooner than a tick after the last batch, so checks that trickle in never add up to more than the pace.
    sending_ = true;
    pace_.expires_at(std::max(Clock::now(), last_tick_ + TICK));
    pace_.async_wait([this](const boost::system::error_code& ec) {
        if (ec) {
            sending_ = false;
            return;
        }
        Tick();
    });
}

void Checker::Tick() {
    Clock::time_point now = Clock::now();
    last_tick_ = now;
    for (size_t i = 0; i < per_tick_; ++i) {
        std::optional<ListEntry> next = store_->NextCheck(now);
        if (!next) {
            break;
        }
        socket_.SendTo(*next, STATUS_QUERY, STATUS_QUERY_SIZE);
        ++sent_;
    }
    sending_ = false;
    if (store_->HasChecksDue()) {
        Wake();
    }
}

void Checker::Handle(const ListEntry& from, const unsigned char* data, size_t size) {
    if (size <= MAX_DATAGRAM_BYTES && store_->Awaiting(from) && IsStatusReply(data, size)) {
        store_->TakeReply(from, reader_.Read(data, size), Clock::now());
        ++taken_;
        return;
    }
    if (!other_ || !other_(from, data, size)) {
        ++dropped_;
    }
}

uint64_t Checker::TakeDropped() {
    uint64_t dropped = dropped_;
    dropped_ = 0;
    return dropped;
}

} // namespace skerrow_master
