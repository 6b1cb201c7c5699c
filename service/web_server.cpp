#include "web_server.h"

#include <boost/beast/core/flat_static_buffer.hpp>
#include <boost/beast/core/tcp_stream.hpp>
#include <boost/beast/http.hpp>

#include <optional>
#include <unordered_map>

#include "connection_slots.h"
#include "core/text/format.h"
#include "rate_limiter.h"
#include "request_head.h"

namespace skerrow_master {

namespace beast = boost::beast;
namespace http = beast::http;

namespace {

constexpr unsigned MAX_REQUESTS_PER_CONNECTION = 100;
constexpr size_t WRITE_PIECE_BYTES = 65536;
// Clients remembered by the request-rate limits; one whose bucket has filled again is forgotten.
constexpr size_t MAX_RATE_SOURCES = 16384;
// What a 429 asks the client to wait (its Retry-After).
constexpr std::chrono::seconds RETRY_AFTER(1);
// A failed accept (out of descriptors, say) is tried again after a pause instead of at once and forever.
constexpr std::chrono::milliseconds ACCEPT_RETRY(100);

class Session;

} // namespace

// Shared by the server and its sessions, which may outlive it by a moment while they close. The service's one
// thread owns all of it.
struct WebShared {
    WebShared(WebServer::Answer answer_, const WebLimits& limits_)
        : answer(std::move(answer_)), limits(limits_), slots(limits.slots),
          address_rate(limits.per_address.burst, limits.per_address.per_second, MAX_RATE_SOURCES),
          subnet_rate(limits.per_subnet.burst, limits.per_subnet.per_second, MAX_RATE_SOURCES) {}

    bool AllowRequest(uint32_t address, Clock::time_point now) {
        if (address_rate.Allow(address, now) && subnet_rate.Allow(address & 0xFFFFFF00u, now)) {
            return true;
        }
        if (refused_until.size() >= MAX_RATE_SOURCES) {
            for (auto it = refused_until.begin(); it != refused_until.end();) {
                it = it->second <= now ? refused_until.erase(it) : std::next(it);
            }
        }
        ++counts.rate_limited;
        if (refused_until.size() < MAX_RATE_SOURCES) {
            refused_until[address] = now + RETRY_AFTER;
        }
        return false;
    }
    // An address told to come back later has its connections closed at the door until then: a client that
    // reconnects at once costs an accept, not a request.
    bool Refused(uint32_t address, Clock::time_point now) {
        auto it = refused_until.find(address);
        if (it == refused_until.end() || it->second <= now) {
            if (it != refused_until.end()) {
                refused_until.erase(it);
            }
            return false;
        }
        ++counts.rate_limited;
        return true;
    }
    void Evict(ConnectionSlots::Id id);

    WebServer::Answer answer;
    WebLimits limits;
    WebCounts counts;
    ConnectionSlots slots;
    RateLimiter address_rate;
    RateLimiter subnet_rate;
    std::unordered_map<uint32_t, Clock::time_point> refused_until; // addresses answered 429, until Retry-After
    // Each session by its slot, so one whose slot goes to a newcomer can be closed.
    std::unordered_map<ConnectionSlots::Id, std::weak_ptr<Session>> sessions;
};

namespace {

class Session : public std::enable_shared_from_this<Session> {
public:
    Session(tcp::socket socket, uint32_t address, ConnectionSlots::Id slot, std::shared_ptr<WebShared> shared)
        : stream_(std::move(socket)), address_(address), slot_(slot), shared_(std::move(shared)) {}
    ~Session() {
        shared_->slots.Release(slot_);
        shared_->sessions.erase(slot_);
    }

    void Start() {
        shared_->sessions[slot_] = weak_from_this();
        ReadRequest();
    }

    // Its slot went to a newcomer: closing the socket ends the read it waits in.
    void Evict() { Close(); }

private:
    void ReadRequest() {
        head_.Start();
        deadline_ = Clock::now() + shared_->limits.timeout;
        stream_.expires_at(deadline_);
        shared_->slots.SetWaiting(slot_, true);
        Parse(); // bytes of a pipelined request may be here already
    }

    void Parse() {
        auto data = buffer_.data();
        size_t taken = 0;
        HeadStatus status = head_.Put({static_cast<const char*>(data.data()), data.size()}, &taken);
        buffer_.consume(taken);
        switch (status) {
        case HeadStatus::Incomplete:
            stream_.async_read_some(
                buffer_.prepare(buffer_.capacity() - buffer_.size()),
                [self = shared_from_this()](beast::error_code ec, size_t bytes) { self->OnBytes(ec, bytes); });
            break;
        case HeadStatus::Complete:
            Answer();
            break;
        case HeadStatus::TooLarge:
            Refuse(431, "request header fields too large\n");
            break;
        case HeadStatus::HasBody:
            Refuse(413, "no request takes a body\n");
            break;
        case HeadStatus::Malformed:
            Refuse(400, "bad request\n");
            break;
        }
    }

    // Timeouts and a closed connection end it.
    void OnBytes(beast::error_code ec, size_t bytes) {
        if (ec) {
            Close();
            return;
        }
        buffer_.commit(bytes);
        // Bytes that keep arriving must not stretch the deadline: the stream's timer can lose the race to them.
        if (Clock::now() >= deadline_) {
            Close();
            return;
        }
        Parse();
    }

    void Answer() {
        shared_->slots.SetWaiting(slot_, false);
        if (!shared_->AllowRequest(address_, Clock::now())) {
            Refuse(429, "too many requests\n");
            return;
        }
        WebAnswer answer = shared_->answer(head_.is_get(), head_.target());
        bool keep_alive = head_.keep_alive() && ++served_ < MAX_REQUESTS_PER_CONNECTION;
        if (!answer.shared) {
            answer.shared = std::make_shared<const std::string>(std::move(answer.body));
        }
        Write(answer.status, answer.content_type, std::move(answer.shared), keep_alive);
    }

    // Answers and ends the connection.
    void Refuse(unsigned status, const char* text) {
        shared_->slots.SetWaiting(slot_, false);
        Write(status, "text/plain; charset=utf-8", std::make_shared<const std::string>(text), false);
    }

    void Write(unsigned status, const char* content_type, SharedBody body, bool keep_alive) {
        ++shared_->counts.responses[status];
        body_ = std::move(body);
        response_ = {};
        response_.version(head_.version());
        response_.result(status);
        response_.set(http::field::server, "skerrow-master");
        response_.set(http::field::content_type, content_type);
        response_.set(http::field::cache_control, "no-cache");
        if (status == 429) {
            response_.set(http::field::retry_after, fmt::to_string(RETRY_AFTER.count()));
        }
        response_.body() = {body_->data(), body_->size()};
        response_.keep_alive(keep_alive);
        response_.prepare_payload();
        stream_.expires_after(shared_->limits.timeout);
        // A large answer (the API's whole list is megabytes) goes out in pieces, so the other clients' requests are
        // served between them instead of after the whole of it.
        serializer_.emplace(response_);
        serializer_->limit(WRITE_PIECE_BYTES);
        http::async_write(stream_, *serializer_,
                          [self = shared_from_this()](beast::error_code ec, size_t) { self->OnWrite(ec); });
    }

    void OnWrite(beast::error_code ec) {
        if (ec || !response_.keep_alive()) {
            Close();
            return;
        }
        ReadRequest();
    }

    void Close() {
        beast::error_code ignored;
        stream_.socket().shutdown(tcp::socket::shutdown_send, ignored);
        stream_.close();
    }

    beast::tcp_stream stream_;
    // A fixed buffer of one head's size: a client cannot make a connection grow.
    beast::flat_static_buffer<MAX_HEAD_BYTES> buffer_;
    RequestHeadReader head_;
    Clock::time_point deadline_{};
    SharedBody body_; // what response_ holds a view of
    http::response<http::span_body<const char>> response_;
    std::optional<http::response_serializer<http::span_body<const char>>> serializer_;
    uint32_t address_;
    ConnectionSlots::Id slot_;
    std::shared_ptr<WebShared> shared_;
    unsigned served_ = 0;
};

} // namespace

void WebShared::Evict(ConnectionSlots::Id id) {
    auto it = sessions.find(id);
    if (it == sessions.end()) {
        return;
    }
    std::shared_ptr<Session> session = it->second.lock();
    sessions.erase(it);
    if (session) {
        session->Evict();
    }
}

WebServer::WebServer(asio::io_context& io, Answer answer, const WebLimits& limits, LogSink log)
    : acceptor_(io), retry_(io), shared_(std::make_shared<WebShared>(std::move(answer), limits)), log_(std::move(log)) {
}

WebServer::~WebServer() = default;

bool WebServer::Open(const ListEntry& local, std::string* error) {
    beast::error_code ec;
    tcp::endpoint endpoint(asio::ip::address_v4(OctetsOfAddress(local.addr)), local.port);
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

const WebCounts& WebServer::counts() const {
    return shared_->counts;
}

ListEntry WebServer::local() const {
    beast::error_code ec;
    tcp::endpoint endpoint = acceptor_.local_endpoint(ec);
    return FromOctets(endpoint.address().to_v4().to_uint(), endpoint.port());
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
        ConnectionSlots::Id evicted = 0;
        ConnectionSlots::Id slot =
            peer_error || shared_->Refused(address, Clock::now()) ? 0 : shared_->slots.Admit(address, &evicted);
        shared_->Evict(evicted);
        if (slot != 0) {
            std::make_shared<Session>(std::move(socket), address, slot, shared_)->Start();
        }
        Accept();
    });
}

} // namespace skerrow_master
