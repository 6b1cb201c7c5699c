#include "game_servers.h"

#include <fcntl.h>
#include <sys/epoll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "reply_builder.h"
#include "wake_event.h"

namespace {

constexpr uint64_t WAKE_TOKEN = UINT64_MAX;
constexpr uint64_t RATE_LIMIT_USEC = 1000000;
const std::string PING_DATAGRAM = "\xff\xff\xff\xffping";
const std::string SHUTDOWN_DATAGRAM = "\xff\xff\xff\xffshutdown";

} // namespace

bool GameServers::Bind(Server* server, std::string* error) {
    Endpoint& address = server->config.address;
    if (server->config.down) {
        server->name = FormatEndpoint(address);
        return true;
    }
    server->fd = BindSocket(SOCK_DGRAM, address, error);
    if (server->fd < 0) {
        return false;
    }
    address = LocalEndpoint(server->fd);
    server->name = FormatEndpoint(address);
    server->reply_from = server->name;
    if (server->config.reply_port != 0) {
        Endpoint from{address.host, static_cast<uint16_t>(server->config.reply_port)};
        server->reply_fd = BindSocket(SOCK_DGRAM, from, error);
        if (server->reply_fd < 0) {
            return false;
        }
        server->reply_from = FormatEndpoint(from);
    }
    fcntl(server->fd, F_SETFL, O_NONBLOCK);
    epoll_event event{};
    event.events = EPOLLIN;
    event.data.u64 = static_cast<uint64_t>(server - servers_.data());
    if (epoll_ctl(epoll_fd_, EPOLL_CTL_ADD, server->fd, &event) != 0) {
        *error = "epoll for " + server->name + ": " + std::strerror(errno);
        return false;
    }
    return true;
}

bool GameServers::Start(std::vector<ServerConfig>* servers, const HeartbeatConfig& heartbeat, std::string* error) {
    Stop();
    epoll_fd_ = epoll_create1(EPOLL_CLOEXEC);
    wake_fd_ = OpenWakeEvent();
    epoll_event wake{};
    wake.events = EPOLLIN;
    wake.data.u64 = WAKE_TOKEN;
    if (epoll_fd_ < 0 || wake_fd_ < 0 || epoll_ctl(epoll_fd_, EPOLL_CTL_ADD, wake_fd_, &wake) != 0) {
        *error = std::string("epoll: ") + std::strerror(errno);
        CloseAll();
        return false;
    }
    servers_.resize(servers->size());
    for (size_t i = 0; i < servers_.size(); ++i) {
        Server& server = servers_[i];
        server.config = (*servers)[i];
        server.reply = BuildStatusReply(server.config);
        server.heartbeat = BuildHeartbeat(server.config);
        if (!Bind(&server, error)) {
            CloseAll();
            return false;
        }
        (*servers)[i].address = server.config.address;
    }
    heartbeat_ = heartbeat;
    Announce("ping", &PING_DATAGRAM);
    Announce("heartbeat", nullptr);
    next_heartbeat_usec_ = MonotonicMicros() + static_cast<uint64_t>(heartbeat_.interval_s) * 1000000;
    thread_ = std::thread(&GameServers::Run, this);
    return true;
}

void GameServers::Stop() {
    if (thread_.joinable()) {
        EndWorker(wake_fd_, &thread_);
        Announce("shutdown", &SHUTDOWN_DATAGRAM);
    }
    CloseAll();
}

void GameServers::Announce(const char* kind, const std::string* fixed) {
    for (const Server& server : servers_) {
        if (server.fd < 0 || !server.config.heartbeat) {
            continue;
        }
        const std::string& datagram = fixed ? *fixed : server.heartbeat;
        for (const Endpoint& master : heartbeat_.masters) {
            sockaddr_in to = ToSockaddr(master);
            ssize_t sent =
                sendto(server.fd, datagram.data(), datagram.size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
            if (sent >= 0) {
                log_->Add("master server=" + server.name + " to=" + FormatEndpoint(master) + " sent=" + kind +
                          " bytes=" + std::to_string(sent));
            }
        }
    }
}

void GameServers::CloseAll() {
    for (Server& server : servers_) {
        for (int fd : {server.fd, server.reply_fd}) {
            if (fd >= 0) {
                close(fd);
            }
        }
    }
    servers_.clear();
    pending_ = {};
    heartbeat_ = {};
    for (int* fd : {&epoll_fd_, &wake_fd_}) {
        if (*fd >= 0) {
            close(*fd);
            *fd = -1;
        }
    }
}

void GameServers::Run() {
    std::vector<char> buffer(65536);
    epoll_event events[256];
    while (true) {
        int timeout_ms = -1;
        uint64_t due = heartbeat_.masters.empty() ? UINT64_MAX : next_heartbeat_usec_;
        if (!pending_.empty() || due != UINT64_MAX) {
            uint64_t now = MonotonicMicros();
            due = pending_.empty() ? due : std::min(due, pending_.top().due_usec);
            timeout_ms = due <= now ? 0 : static_cast<int>((due - now + 999) / 1000);
        }
        int count = epoll_wait(epoll_fd_, events, 256, timeout_ms);
        for (int i = 0; i < count; ++i) {
            if (events[i].data.u64 == WAKE_TOKEN) {
                return;
            }
            Receive(static_cast<size_t>(events[i].data.u64), buffer.data(), buffer.size());
        }
        uint64_t now = MonotonicMicros();
        while (!pending_.empty() && pending_.top().due_usec <= now) {
            PendingReply reply = pending_.top();
            pending_.pop();
            Send(servers_[reply.server], reply.to);
        }
        if (!heartbeat_.masters.empty() && now >= next_heartbeat_usec_) {
            Announce("heartbeat", nullptr);
            next_heartbeat_usec_ = now + static_cast<uint64_t>(heartbeat_.interval_s) * 1000000;
        }
    }
}

void GameServers::Receive(size_t index, char* buffer, size_t size) {
    while (true) {
        sockaddr_in from{};
        socklen_t from_size = sizeof from;
        ssize_t received =
            recvfrom(servers_[index].fd, buffer, size, 0, reinterpret_cast<sockaddr*>(&from), &from_size);
        if (received < 0) {
            return; // drained (or an error ICMP left behind, which a real server would shrug off too)
        }
        Server& server = servers_[index];
        const char* refusal = nullptr; // why the query goes unanswered
        if (!IsStatusQuery(buffer, static_cast<size_t>(received))) {
            refusal = "ignored";
        } else if (server.config.silent) {
            refusal = "silent";
        } else if (++server.status_queries < server.config.answer_from) {
            refusal = "early";
        } else if (server.config.rate_limit && server.replied &&
                   MonotonicMicros() - server.last_reply_usec < RATE_LIMIT_USEC) {
            refusal = "rate-limited";
        }
        log_->Add("query server=" + server.name + " from=" + FormatEndpoint(FromSockaddr(from)) +
                  " bytes=" + std::to_string(received) + " action=" + (refusal ? refusal : "replied"));
        if (!refusal) {
            Answer(index, from);
        }
    }
}

void GameServers::Answer(size_t index, const sockaddr_in& to) {
    Server& server = servers_[index];
    uint64_t now = MonotonicMicros();
    server.replied = true;
    server.last_reply_usec = now;
    if (server.config.delay_ms == 0) {
        Send(server, to);
        return;
    }
    pending_.push(PendingReply{now + static_cast<uint64_t>(server.config.delay_ms) * 1000, next_order_++, index, to});
}

void GameServers::Send(const Server& server, const sockaddr_in& to) {
    int fd = server.reply_fd >= 0 ? server.reply_fd : server.fd;
    for (int copy = 0; copy <= server.config.duplicates; ++copy) {
        ssize_t sent =
            sendto(fd, server.reply.data(), server.reply.size(), 0, reinterpret_cast<const sockaddr*>(&to), sizeof to);
        if (sent >= 0) {
            log_->Add("reply server=" + server.name + " from=" + server.reply_from +
                      " to=" + FormatEndpoint(FromSockaddr(to)) + " bytes=" + std::to_string(sent));
        }
    }
}
