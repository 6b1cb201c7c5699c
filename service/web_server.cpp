#include "web_server.h"

#include <boost/beast/core/flat_buffer.hpp>
#include <boost/beast/core/tcp_stream.hpp>
#include <boost/beast/http.hpp>

#include <optional>
#include <unordered_map>

namespace beast = boost::beast;
namespace http = beast::http;

namespace {

constexpr size_t MAX_CONNECTIONS = 512;
constexpr size_t MAX_CONNECTIONS_PER_ADDRESS = 32;
constexpr unsigned MAX_REQUESTS_PER_CONNECTION = 100;
constexpr uint32_t MAX_HEADER_BYTES = 8192;
// A failed accept (out of descriptors, say) is tried again after a pause instead of at once and forever.
constexpr std::chrono::milliseconds ACCEPT_RETRY(100);

} // namespace

// Shared by the server and its sessions, which may outlive it by a moment while they close.
struct ConnectionCounts {
    WebServer::Answer answer;
    std::chrono::milliseconds timeout;
    size_t total = 0;
    std::unordered_map<uint32_t, size_t> per_address;

    bool Admit(uint32_t address) {
        size_t& mine = per_address[address];
        if (total >= MAX_CONNECTIONS || mine >= MAX_CONNECTIONS_PER_ADDRESS) {
            if (mine == 0) {
                per_address.erase(address);
            }
            return false;
        }
        ++mine;
        ++total;
        return true;
    }

    void Release(uint32_t address) {
        --total;
        auto it = per_address.find(address);
        if (it != per_address.end() && --it->second == 0) {
            per_address.erase(it);
        }
    }
};

namespace {

class Session : public std::enable_shared_from_this<Session> {
public:
    Session(tcp::socket socket, uint32_t address, std::shared_ptr<ConnectionCounts> counts)
        : stream_(std::move(socket)), address_(address), counts_(std::move(counts)) {}
    ~Session() { counts_->Release(address_); }

    void Read() {
        parser_.emplace();
        parser_->header_limit(MAX_HEADER_BYTES);
        parser_->body_limit(0);
        stream_.expires_after(counts_->timeout);
        http::async_read(stream_, buffer_, *parser_,
                         [self = shared_from_this()](beast::error_code ec, size_t) { self->OnRead(ec); });
    }

private:
    // Timeouts, a closed connection and anything that does not parse as a request all end the connection.
    void OnRead(beast::error_code ec) {
        if (ec) {
            Close();
            return;
        }
        const auto& request = parser_->get();
        std::string_view target(request.target().data(), request.target().size());
        WebAnswer answer = counts_->answer(request.method() == http::verb::get, target);
        response_ = {};
        response_.version(request.version());
        response_.result(answer.status);
        response_.set(http::field::server, "skerrow-master");
        response_.set(http::field::content_type, answer.content_type);
        response_.set(http::field::cache_control, "no-cache");
        response_.body() = std::move(answer.body);
        response_.keep_alive(request.keep_alive() && ++served_ < MAX_REQUESTS_PER_CONNECTION);
        response_.prepare_payload();
        stream_.expires_after(counts_->timeout);
        http::async_write(stream_, response_,
                          [self = shared_from_this()](beast::error_code ec, size_t) { self->OnWrite(ec); });
    }

    void OnWrite(beast::error_code ec) {
        if (ec || !response_.keep_alive()) {
            Close();
            return;
        }
        Read();
    }

    void Close() {
        beast::error_code ignored;
        stream_.socket().shutdown(tcp::socket::shutdown_send, ignored);
        stream_.close();
    }

    beast::tcp_stream stream_;
    beast::flat_buffer buffer_{MAX_HEADER_BYTES * 2};
    std::optional<http::request_parser<http::empty_body>> parser_;
    http::response<http::string_body> response_;
    uint32_t address_;
    std::shared_ptr<ConnectionCounts> counts_;
    unsigned served_ = 0;
};

} // namespace

WebServer::WebServer(asio::io_context& io, Answer answer, std::chrono::milliseconds timeout, LogSink log)
    : acceptor_(io), retry_(io), counts_(std::make_shared<ConnectionCounts>()), log_(std::move(log)) {
    counts_->answer = std::move(answer);
    counts_->timeout = timeout;
}

WebServer::~WebServer() = default;

bool WebServer::Open(const ServerAddress& local, std::string* error) {
    beast::error_code ec;
    tcp::endpoint endpoint(asio::ip::address_v4(local.host), local.port);
    acceptor_.open(endpoint.protocol(), ec);
    if (!ec) {
        acceptor_.set_option(asio::socket_base::reuse_address(true), ec);
        acceptor_.bind(endpoint, ec);
    }
    if (!ec) {
        acceptor_.listen(asio::socket_base::max_listen_connections, ec);
    }
    if (ec) {
        *error = "http " + FormatAddress(local) + ": " + ec.message();
        acceptor_.close(ec);
        return false;
    }
    Accept();
    return true;
}

void WebServer::Close() {
    beast::error_code ignored;
    retry_.cancel();
    acceptor_.close(ignored);
}

ServerAddress WebServer::local() const {
    beast::error_code ec;
    tcp::endpoint endpoint = acceptor_.local_endpoint(ec);
    return {endpoint.address().to_v4().to_uint(), endpoint.port()};
}

void WebServer::Accept() {
    acceptor_.async_accept([this](beast::error_code ec, tcp::socket socket) {
        if (ec == asio::error::operation_aborted || !acceptor_.is_open()) {
            return;
        }
        if (ec) {
            // Out of descriptors, say: once a minute is enough to tell.
            if (std::chrono::steady_clock::now() - last_error_logged_ >= std::chrono::minutes(1)) {
                last_error_logged_ = std::chrono::steady_clock::now();
                log_("http accept: " + ec.message());
            }
            retry_.expires_after(ACCEPT_RETRY);
            retry_.async_wait([this](beast::error_code wait) {
                if (!wait) {
                    Accept();
                }
            });
            return;
        }
        beast::error_code peer_error;
        tcp::endpoint peer = socket.remote_endpoint(peer_error);
        uint32_t address = peer_error ? 0 : peer.address().to_v4().to_uint();
        if (!peer_error && counts_->Admit(address)) {
            std::make_shared<Session>(std::move(socket), address, counts_)->Read();
        }
        Accept();
    });
}
