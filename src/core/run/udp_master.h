// Asking one classic Quake II master for its list over UDP (the protocol in core/protocol/servers_reply.h). Portable
// (no Win32); runs on a thread of the update run's master gathering, with a socket of its own.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "core/protocol/master_entry.h"
#include "core/run/datagram_socket.h"

constexpr int UDP_MASTER_TRIES = 3;
constexpr uint32_t UDP_MASTER_TRY_MS = 1000;
// The list is over once this long passes without a datagram of it: a master may split it.
constexpr uint32_t UDP_MASTER_QUIET_MS = 1000;
// A master that never goes quiet is cut off after this long from its first answer, or this many datagrams.
constexpr uint32_t UDP_MASTER_LIST_MS = 30000;
constexpr int UDP_MASTER_MAX_DATAGRAMS = 1024;

enum class UdpMasterEnd {
    Answered,    // at least one `servers` datagram came from the master
    NoAnswer,    // none came after every try
    Unresolved,  // its host name has no IPv4 address
    SendFailed,  // the query could not be sent
    Interrupted, // the socket was interrupted (the run was aborted)
};

struct UdpMasterResult {
    UdpMasterEnd end;
    int error; // the resolver's or the socket's, for Unresolved and SendFailed
};

// How a classic master's host name becomes its IPv4 address (network byte order): the system's resolver
// (ResolveHostIPv4) in the program, which may take seconds on a machine that is offline; in tests, one that answers
// when the test says. 0 on success, else the resolver's error code.
using HostResolver = std::function<int(const std::string& host, uint32_t& addr)>;

// Looks the master's host up with `resolve`, then sends MASTER_QUERY up to UDP_MASTER_TRIES times, UDP_MASTER_TRY_MS
// apart, while nothing answers, and takes every `servers` datagram from the master's own address and port until
// UDP_MASTER_QUIET_MS pass without one; anything else that reaches the socket is dropped. Each datagram's entries go
// to `deliver` as it arrives (whole 6-byte entries, possibly none). A socket interrupted by the end of the look-up
// ends it there, nothing sent.
UdpMasterResult AskUdpMaster(const MasterEntry& master, DatagramSocket& socket, const HostResolver& resolve,
                             const std::function<void(const unsigned char* entries, size_t length)>& deliver);
