// IPv4 endpoints as the simulator reads and writes them, "a.b.c.d:port", and the sockets bound to them.
#pragma once

#include <netinet/in.h>

#include <cstdint>
#include <string>
#include <string_view>

struct Endpoint {
    uint32_t host = 0; // host byte order
    uint16_t port = 0;

    bool operator==(const Endpoint& other) const { return host == other.host && port == other.port; }
};

// Accepts exactly a dotted quad, a colon and a decimal port (0 to 65535).
bool ParseEndpoint(std::string_view text, Endpoint* out);
std::string FormatEndpoint(const Endpoint& endpoint);

// Appends the endpoint as a master list carries it, in the browser's own 6-byte entry (core/protocol/list_entry.h).
void AppendListEntry(std::string* list, const Endpoint& endpoint);

sockaddr_in ToSockaddr(const Endpoint& endpoint);
Endpoint FromSockaddr(const sockaddr_in& address);

// A socket of the type (SOCK_DGRAM or SOCK_STREAM) bound to the endpoint, close-on-exec; stream sockets also
// listen. Returns -1 with "bind a.b.c.d:p: reason" in *error on failure.
int BindSocket(int type, const Endpoint& endpoint, std::string* error);

// The address the socket is bound to (port 0 resolved to the one the system chose).
Endpoint LocalEndpoint(int fd);
