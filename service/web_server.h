// The web list's HTTP side, on Boost.Beast over the service's one io_context. Every connection has a deadline for
// reading a whole request and another for writing the answer; the number of connections is capped, in total and
// per client address, so slow or garbage clients neither hold the service nor exhaust its descriptors.
#pragma once

#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/steady_timer.hpp>

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "log.h"
#include "server_address.h"
#include "web_routes.h"

namespace asio = boost::asio;
using asio::ip::tcp;

struct ConnectionCounts;

class WebServer {
public:
    using Answer = std::function<WebAnswer(bool is_get, std::string_view target)>;

    WebServer(asio::io_context& io, Answer answer, std::chrono::milliseconds timeout, LogSink log);
    ~WebServer();

    bool Open(const ServerAddress& local, std::string* error);
    void Close();
    ServerAddress local() const;

private:
    void Accept();

    tcp::acceptor acceptor_;
    asio::steady_timer retry_;
    std::shared_ptr<ConnectionCounts> counts_;
    LogSink log_;
    std::chrono::steady_clock::time_point last_error_logged_{};
};
