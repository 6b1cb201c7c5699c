// Upstream masters (--upstream HOST:PORT): asked for their lists with a `query` at start and every few minutes,
// from the checker's socket. A `servers` datagram counts only as the answer to a query we sent a moment ago, from
// the address and port the name resolved to; every entry it names becomes a candidate, to be checked like any
// other, except that a master on the internet may not name loopback, private, link-local or multicast addresses.
#pragma once

#include <boost/asio/ip/udp.hpp>
#include <boost/asio/steady_timer.hpp>

#include <chrono>
#include <vector>

#include "checker.h"
#include "log.h"
#include "options.h"
#include "server_store.h"

namespace skerrow_master {

class Upstreams {
public:
    // answer_window: how long after our query an answer is taken.
    Upstreams(asio::io_context& io, std::vector<Upstream> upstreams, std::chrono::seconds interval,
              Clock::duration answer_window, ServerStore* store, Checker* checker, LogSink log);

    void Start();
    void Stop();
    // The checker's handler for datagrams that are not status replies it awaits.
    bool Handle(const ListEntry& from, const unsigned char* data, size_t size);

private:
    void AskAll();
    void Ask(size_t index);

    struct Master {
        Upstream name;
        ListEntry resolved; // port 0 until the name resolves
        Clock::time_point asked{};
    };

    asio::steady_timer timer_;
    udp::resolver resolver_;
    std::vector<Master> masters_;
    std::chrono::seconds interval_;
    Clock::duration answer_window_;
    ServerStore* store_;
    Checker* checker_;
    LogSink log_;
};

} // namespace skerrow_master
