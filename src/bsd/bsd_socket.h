// The BSD socket calls that Winsock and POSIX systems make alike, compiled on both: the run's socket on either side
// (windows/platform/datagram_socket_winsock.cpp, posix/datagram_socket_posix.cpp) builds on these, and the core's
// host name look-up (core/run/datagram_socket.h) is one of them.
#pragma once

#ifdef _WIN32
#include <winsock2.h>
#else
#include <netinet/in.h>
#endif

#include <cstdint>

// An IPv4 address (network byte order) and port (host byte order) as the socket calls take them.
sockaddr_in Ipv4SocketAddress(uint32_t addr, uint16_t port);
