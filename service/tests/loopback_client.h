// The client side of the service's protocols on loopback, for its tests and its benchmark.
#pragma once

#include <netinet/in.h>

#include <string>

#include "server_address.h"

sockaddr_in ToSockaddr(const ServerAddress& address);

// Sends one datagram from the UDP socket with any local source address (on loopback: any 127.x.y.z), the socket's
// port, as a forged source would; false when the socket cannot take it now.
bool SendFrom(int fd, uint32_t source, const ServerAddress& to, const std::string& datagram);

struct HttpReply {
    int status = 0; // 0: no answer
    std::string body;
};

// One GET on a connection of its own (Connection: close), read to the end.
HttpReply HttpGet(const ServerAddress& server, const std::string& target);
