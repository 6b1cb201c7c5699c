// The classic Quake II masters of a scenario: one UDP socket each (and one more for a reply_from port), served by one
// thread that waits on them all with poll. A `query` is answered with the master's list in datagrams of
// `\xff\xff\xff\xffservers ` followed by up to per_datagram 6-byte entries.
#pragma once

#include <netinet/in.h>

#include <cstdint>
#include <string>
#include <thread>
#include <vector>

#include "event_log.h"
#include "scenario.h"

// What a master sends for one query: its header and entries, split per_datagram entries to a datagram; one datagram
// with the header alone when it lists nothing. `servers` are the scenario's servers as bound.
std::vector<std::string> BuildListDatagrams(const UdpMasterConfig& master, const std::vector<ServerConfig>& servers);

// A list request: the word "query", after an optional 0xFF 0xFF 0xFF 0xFF, ended by a line feed, a zero byte, a space
// or the end of the datagram (a browser sends the 7 bytes `query\n\0`).
bool IsListQuery(const char* data, size_t size);

class UdpMasters {
public:
    explicit UdpMasters(EventLog* log) : log_(log) {}
    UdpMasters(const UdpMasters&) = delete;
    UdpMasters& operator=(const UdpMasters&) = delete;
    ~UdpMasters() { Stop(); }

    // Binds every master and starts answering. On failure nothing is left bound.
    bool Start(const std::vector<UdpMasterConfig>& masters, const std::vector<ServerConfig>& servers,
               std::string* error);
    void Stop();
    // Where the masters listen, in scenario order (ports the system chose filled in).
    std::vector<Endpoint> addresses() const { return addresses_; }

private:
    struct Master {
        UdpMasterConfig config;
        std::vector<std::string> datagrams;
        std::string name;       // its address as the log writes it
        std::string reply_from; // the address its answers leave from
        int fd = -1;
        int reply_fd = -1; // the reply_from socket, or -1
    };

    struct PendingAnswer {
        uint64_t due_usec;
        size_t master;
        sockaddr_in to;
    };

    bool Bind(Master* master, std::string* error);
    void Run();
    // Milliseconds until the next delayed answer is due; -1 when none waits.
    int MillisUntilDue() const;
    void Receive(size_t index, char* buffer, size_t size);
    void Answer(const Master& master, const sockaddr_in& to);
    void CloseAll();

    EventLog* log_;
    std::vector<Master> masters_;
    std::vector<PendingAnswer> pending_; // delayed answers, in the order they were asked for
    std::vector<Endpoint> addresses_;    // set by Start, read by anyone
    int wake_fd_ = -1;
    std::thread thread_; // owns masters_ while it runs
};
