#include "endpoint.h"

#include <arpa/inet.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "core/protocol/list_entry.h"

namespace {

// A decimal number of at most max_digits digits, all of the text.
bool ParseNumber(std::string_view text, size_t max_digits, uint32_t* out) {
    if (text.empty() || text.size() > max_digits) {
        return false;
    }
    uint32_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') {
            return false;
        }
        value = value * 10 + static_cast<uint32_t>(c - '0');
    }
    *out = value;
    return true;
}

} // namespace

bool ParseEndpoint(std::string_view text, Endpoint* out) {
    size_t colon = text.rfind(':');
    if (colon == std::string_view::npos) {
        return false;
    }
    uint32_t port = 0;
    if (!ParseNumber(text.substr(colon + 1), 5, &port) || port > 65535) {
        return false;
    }
    std::string_view rest = text.substr(0, colon);
    uint32_t host = 0;
    for (int octet = 0; octet < 4; ++octet) {
        size_t dot = octet < 3 ? rest.find('.') : rest.size();
        uint32_t value = 0;
        if (dot == std::string_view::npos || !ParseNumber(rest.substr(0, dot), 3, &value) || value > 255) {
            return false;
        }
        host = host << 8 | value;
        rest = octet < 3 ? rest.substr(dot + 1) : std::string_view();
    }
    out->host = host;
    out->port = static_cast<uint16_t>(port);
    return true;
}

std::string FormatEndpoint(const Endpoint& endpoint) {
    return std::to_string(endpoint.host >> 24) + "." + std::to_string(endpoint.host >> 16 & 0xff) + "." +
           std::to_string(endpoint.host >> 8 & 0xff) + "." + std::to_string(endpoint.host & 0xff) + ":" +
           std::to_string(endpoint.port);
}

void AppendListEntry(std::string* list, const Endpoint& endpoint) {
    unsigned char entry[LIST_ENTRY_SIZE];
    WriteListEntry({AddressFromOctets(endpoint.host), endpoint.port}, entry);
    list->append(reinterpret_cast<const char*>(entry), sizeof entry);
}

sockaddr_in ToSockaddr(const Endpoint& endpoint) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(endpoint.host);
    address.sin_port = htons(endpoint.port);
    return address;
}

Endpoint FromSockaddr(const sockaddr_in& address) {
    return Endpoint{ntohl(address.sin_addr.s_addr), ntohs(address.sin_port)};
}

int BindSocket(int type, const Endpoint& endpoint, std::string* error) {
    int fd = socket(AF_INET, type | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        *error = "socket for " + FormatEndpoint(endpoint) + ": " + std::strerror(errno);
        return -1;
    }
    if (type == SOCK_STREAM) {
        // A listener restarted by a new scenario or a new run must not wait for old connections to time out.
        int on = 1;
        setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    }
    sockaddr_in address = ToSockaddr(endpoint);
    const char* step = "bind";
    bool ok = bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    if (ok && type == SOCK_STREAM) {
        step = "listen";
        ok = listen(fd, 128) == 0;
    }
    if (!ok) {
        *error = std::string(step) + " " + FormatEndpoint(endpoint) + ": " + std::strerror(errno);
        close(fd);
        return -1;
    }
    return fd;
}

Endpoint LocalEndpoint(int fd) {
    sockaddr_in address{};
    socklen_t size = sizeof address;
    getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size);
    return FromSockaddr(address);
}
