// Looking a master's host name up with the POSIX resolver.
#include "core/run/datagram_socket.h"

#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>

int ResolveHostIPv4(const std::string& host, uint32_t& addr) {
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_DGRAM;
    addrinfo* found = nullptr;
    int error = getaddrinfo(host.c_str(), nullptr, &hints, &found);
    if (error != 0) {
        return error;
    }
    addr = reinterpret_cast<const sockaddr_in*>(found->ai_addr)->sin_addr.s_addr;
    freeaddrinfo(found);
    return 0;
}
