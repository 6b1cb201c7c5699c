// The client side of the service's protocols on loopback, for its tests and its benchmark.
#pragma once

#include <netinet/in.h>

#include <cstdint>
#include <string>

#include "server_address.h"

namespace skerrow_master {

sockaddr_in ToSockaddr(const ListEntry& address);

// Sends one datagram from the UDP socket with any local source address (on loopback: any 127.x.y.z), the socket's
// port, as a forged source would; false when the socket cannot take it now.
bool SendFrom(int fd, uint32_t source, const ListEntry& to, const std::string& datagram);

struct HttpReply {
    int status = 0; // 0: no answer
    std::string body;
};

// A TCP connection to the server from the source address (0: any loopback address the system picks), or -1. Any
// 127.x.y.z is this machine, so tests and benchmarks play many clients from one process.
int ConnectFrom(const ListEntry& server, uint32_t source);

// Sends the bytes on a connection of its own and reads the answer until the server closes it (10 s at most).
HttpReply HttpExchange(const ListEntry& server, const std::string& request, uint32_t source = 0);

// One GET on a connection of its own (Connection: close), read to the end.
HttpReply HttpGet(const ListEntry& server, const std::string& target, uint32_t source = 0);

} // namespace skerrow_master
