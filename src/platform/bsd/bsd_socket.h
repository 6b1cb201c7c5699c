// What Winsock and POSIX systems do alike with a UDP socket, compiled on both: the run's socket on either side
// (platform/win32/datagram_socket.cpp, platform/posix/datagram_socket.cpp) is a BsdDatagramSocket that adds only
// how it waits and is woken, and the core's host name look-up (core/run/datagram_socket.h) is here too.
#pragma once

#ifdef _WIN32
#include <winsock2.h>
#else
#include <netinet/in.h>
#endif

#include <cstdint>

#include "core/run/datagram_socket.h"

#ifdef _WIN32
using NativeSocket = SOCKET;
#else
using NativeSocket = int;
#endif

// An IPv4 address (network byte order) and port (host byte order) as the socket calls take them.
sockaddr_in Ipv4SocketAddress(uint32_t addr, uint16_t port);

// The error code of the calling thread's last failed socket call.
int LastSocketError();

// Sends, receives and takes broadcasts over a non-blocking UDP socket, which it closes when it goes.
class BsdDatagramSocket : public DatagramSocket {
public:
    explicit BsdDatagramSocket(NativeSocket socket) : socket_(socket) {}
    ~BsdDatagramSocket() override;
    BsdDatagramSocket(const BsdDatagramSocket&) = delete;
    BsdDatagramSocket& operator=(const BsdDatagramSocket&) = delete;

    int SendTo(uint32_t addr, uint16_t port, const void* data, size_t size) override;
    int AllowBroadcast() override;
    ReceiveStatus ReceiveFrom(char* buffer, size_t capacity, size_t& length, uint32_t& addr, uint16_t& port) override;
    // A wait with no end: WaitReadableFor(WAIT_FOREVER_MS).
    bool WaitReadable() override;

    static constexpr uint32_t WAIT_FOREVER_MS = UINT32_MAX;

protected:
    NativeSocket socket_;
};
