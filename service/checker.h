// The checks: status queries to candidates and listed servers, sent from a socket of the service's own at a steady
// pace, and their replies, taken only from exactly the address and port that was asked. Datagrams from anyone else
// go to the `other` handler (the upstream masters' lists arrive here too) or are dropped.
#pragma once

#include <boost/asio/steady_timer.hpp>

#include <cstdint>
#include <functional>

#include "check_reply.h"
#include "datagram_socket.h"
#include "server_store.h"

namespace skerrow_master {

class Checker {
public:
    // Returns whether it took the datagram.
    using OtherHandler = std::function<bool(const ListEntry& from, const unsigned char* data, size_t size)>;

    Checker(asio::io_context& io, ServerStore* store, int checks_per_second);

    bool Open(const ListEntry& local, std::string* error);
    void set_other_handler(OtherHandler handler) { other_ = std::move(handler); }
    void Close();
    // Checks are due: start sending if not sending already.
    void Wake();
    bool SendTo(const ListEntry& to, const void* data, size_t size) { return socket_.SendTo(to, data, size); }
    ListEntry local() const { return socket_.local(); }

    uint64_t sent() const { return sent_; }
    uint64_t taken() const { return taken_; }
    uint64_t TakeDropped();

private:
    void Tick();
    void Handle(const ListEntry& from, const unsigned char* data, size_t size);

    DatagramSocket socket_;
    asio::steady_timer pace_;
    ServerStore* store_;
    OtherHandler other_;
    size_t per_tick_;
    bool sending_ = false; // a batch is due: the pace timer is set
    Clock::time_point last_tick_{};
    ReplyReader reader_;
    uint64_t sent_ = 0;
    uint64_t taken_ = 0;
    uint64_t dropped_ = 0;
};

} // namespace skerrow_master
