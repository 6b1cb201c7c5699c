// The client side of the service's protocols on loopback, for its tests and its benchmark.
#pragma once

#include <netinet/in.h>

#include <string>

#include "server_address.h"

sockaddr_in ToSockaddr(const ServerAddress& address);

struct HttpReply {
    int status = 0; // 0: no answer
    std::string body;
};

// One GET on a connection of its own (Connection: close), read to the end.
HttpReply HttpGet(const ServerAddress& server, const std::string& target);
