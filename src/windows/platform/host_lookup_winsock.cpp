// Looking a master's host name up with the Winsock resolver, which takes the name in UTF-16 as the rest of the
// program keeps it.
#include "core/run/datagram_socket.h"

#include <winsock2.h>
#include <ws2tcpip.h>

int ResolveHostIPv4(const std::string& host, uint32_t& addr) {
    std::wstring name(host.begin(), host.end());
    ADDRINFOW hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_DGRAM;
    ADDRINFOW* found = nullptr;
    int error = GetAddrInfoW(name.c_str(), nullptr, &hints, &found);
    if (error != 0) {
        return error;
    }
    addr = reinterpret_cast<const sockaddr_in*>(found->ai_addr)->sin_addr.s_addr;
    FreeAddrInfoW(found);
    return 0;
}
