#include "platform/bsd/bsd_socket.h"

#ifdef _WIN32
#include <ws2tcpip.h>
#else
#include <netdb.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#endif

#include <string>

namespace {

#ifdef _WIN32
using SocketLength = int;
// Winsock reports a datagram longer than the buffer as an error of its own.
constexpr int RECEIVE_FLAGS = 0;

// WSAECONNRESET follows a port-unreachable report from a dead server, WSAEMSGSIZE a datagram longer than the buffer,
// which is lost: either way the next one is read.
bool SkipsOne(int error) {
    return error == WSAECONNRESET || error == WSAEMSGSIZE;
}

void CloseSocket(NativeSocket socket) {
    closesocket(socket);
}
#else
using SocketLength = socklen_t;
// MSG_TRUNC reports a datagram's whole length, so one longer than the buffer is known to be lost.
constexpr int RECEIVE_FLAGS = MSG_TRUNC;

// ECONNREFUSED follows a port-unreachable report from a dead server, EINTR a signal: the next one is read.
bool SkipsOne(int error) {
    return error == ECONNREFUSED || error == EINTR;
}

void CloseSocket(NativeSocket socket) {
    close(socket);
}
#endif

} // namespace

sockaddr_in Ipv4SocketAddress(uint32_t addr, uint16_t port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = addr;
    address.sin_port = htons(port);
    return address;
}

int LastSocketError() {
#ifdef _WIN32
    return WSAGetLastError();
#else
    return errno;
#endif
}

BsdDatagramSocket::~BsdDatagramSocket() {
    CloseSocket(socket_);
}

int BsdDatagramSocket::SendTo(uint32_t addr, uint16_t port, const void* data, size_t size) {
    sockaddr_in to = Ipv4SocketAddress(addr, port);
    // Winsock takes the data as char and its length as int; a datagram is far shorter than either limit.
    auto sent = sendto(socket_, static_cast<const char*>(data), static_cast<int>(size), 0,
                       reinterpret_cast<sockaddr*>(&to), sizeof to);
    return sent < 0 ? LastSocketError() : 0;
}

int BsdDatagramSocket::AllowBroadcast() {
    int on = 1;
    return setsockopt(socket_, SOL_SOCKET, SO_BROADCAST, reinterpret_cast<const char*>(&on), sizeof on) == 0
               ? 0
               : LastSocketError();
}

ReceiveStatus BsdDatagramSocket::ReceiveFrom(char* buffer, size_t capacity, size_t& length, uint32_t& addr,
                                             uint16_t& port) {
    sockaddr_in from{};
    SocketLength fromSize = sizeof from;
    auto got = recvfrom(socket_, buffer, static_cast<int>(capacity), RECEIVE_FLAGS, reinterpret_cast<sockaddr*>(&from),
                        &fromSize);
    if (got < 0) {
        return SkipsOne(LastSocketError()) ? ReceiveStatus::Skipped : ReceiveStatus::Empty;
    }
    if (static_cast<size_t>(got) > capacity) {
        return ReceiveStatus::Skipped;
    }
    length = static_cast<size_t>(got);
    addr = from.sin_addr.s_addr;
    port = ntohs(from.sin_port);
    return ReceiveStatus::Datagram;
}

bool BsdDatagramSocket::WaitReadable() {
    return WaitReadableFor(WAIT_FOREVER_MS) == Wait::Readable;
}

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
