// The simulated game servers: one UDP socket each, served by one thread that waits on all of them with epoll
// and keeps delayed replies in a timer heap.
#pragma once

#include <netinet/in.h>

#include <cstdint>
#include <queue>
#include <string>
#include <thread>
#include <vector>

#include "event_log.h"
#include "scenario.h"

class GameServers {
public:
    explicit GameServers(EventLog* log) : log_(log) {}
    GameServers(const GameServers&) = delete;
    GameServers& operator=(const GameServers&) = delete;
    ~GameServers() { Stop(); }

    // Binds every server and starts answering; servers then announce themselves to the heartbeat masters, if any.
    // A port 0 is replaced in *servers by the port the system chose. On failure nothing is left bound.
    bool Start(std::vector<ServerConfig>* servers, const HeartbeatConfig& heartbeat, std::string* error);
    // Sends the heartbeat masters a shutdown from each server, then closes everything.
    void Stop();

private:
    struct Server {
        ServerConfig config;
        std::string reply;
        std::string heartbeat;
        std::string name;       // its address as the log writes it
        std::string reply_from; // the address its replies leave from
        int fd = -1;
        int reply_fd = -1; // the reply_port socket, or -1
        int64_t status_queries = 0;
        uint64_t last_reply_usec = 0;
        bool replied = false;
    };
    struct PendingReply {
        uint64_t due_usec;
        uint64_t order; // keeps replies due at the same time in the order they were asked for
        size_t server;
        sockaddr_in to;
        bool operator>(const PendingReply& other) const {
            return due_usec != other.due_usec ? due_usec > other.due_usec : order > other.order;
        }
    };

    bool Bind(Server* server, std::string* error);
    void Run();
    void Receive(size_t index, char* buffer, size_t size);
    void Answer(size_t index, const sockaddr_in& to);
    void Send(const Server& server, const sockaddr_in& to);
    // The datagram (each server's own heartbeat when null) from every server's game port to every master: a ping
    // and a heartbeat at start, a heartbeat every interval, a shutdown at the end.
    void Announce(const char* kind, const std::string* fixed);
    void CloseAll();

    EventLog* log_;
    std::vector<Server> servers_;
    std::priority_queue<PendingReply, std::vector<PendingReply>, std::greater<PendingReply>> pending_;
    uint64_t next_order_ = 0;
    HeartbeatConfig heartbeat_;
    uint64_t next_heartbeat_usec_ = 0;
    int epoll_fd_ = -1;
    int wake_fd_ = -1;
    std::thread thread_;
};
