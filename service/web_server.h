// The web list's HTTP side, on Boost.Beast over the service's one io_context. A connection has a deadline for
// reading a whole request, however its bytes trickle in, and another for writing the answer; a request's head has a
// hard cap on its size. Connection slots are shared out by address and /24 (connection_slots.h), and requests are
// rate-limited by address and by /24, so slow, garbage or greedy clients neither hold the service nor starve others.
#pragma once

#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/steady_timer.hpp>

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>

#include "log.h"
#include "server_address.h"
#include "web_limits.h"
#include "web_routes.h"

namespace skerrow_master {

namespace asio = boost::asio;
using asio::ip::tcp;

struct WebShared;

// Since the start.
struct WebCounts {
    std::map<unsigned, uint64_t> responses; // by status code
    uint64_t rate_limited = 0;              // requests answered 429, and connections closed at the door after one
};

class WebServer {
public:
    using Answer = std::function<WebAnswer(bool is_get, std::string_view target)>;

    WebServer(asio::io_context& io, Answer answer, const WebLimits& limits, LogSink log);
    ~WebServer();

    bool Open(const ListEntry& local, std::string* error);
    void Close();
    ListEntry local() const;
    const WebCounts& counts() const;

private:
    void Accept();

    tcp::acceptor acceptor_;
    asio::steady_timer retry_;
    std::shared_ptr<WebShared> shared_;
    LogSink log_;
    std::chrono::steady_clock::time_point last_error_logged_{};
};

} // namespace skerrow_master
