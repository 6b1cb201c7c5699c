// Looking for game servers on the local networks: the status query broadcast on each network that can broadcast, to
// the ports Quake II servers use, and the hosts that answer taken as list entries, as a master's would be. Portable
// (no Win32); runs on a thread of the update run's master gathering, with a socket of its own.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

#include "core/run/datagram_socket.h"
#include "core/run/local_networks.h"

constexpr uint16_t LAN_FIRST_PORT = 27910;
constexpr uint16_t LAN_LAST_PORT = 27914;
// Servers on a local network answer within a few milliseconds; the search ends this long after its broadcasts went
// out. A run cannot end before it, so it is kept short: a run of a few hundred servers takes about as long.
constexpr uint32_t LAN_LISTEN_MS = 250;
// At most this many servers are taken from the LAN in a run, however many hosts answer.
constexpr size_t LAN_MAX_SERVERS = 1024;

struct LanSearchCount {
    int sent = 0;       // broadcasts sent
    size_t taken = 0;   // servers taken
    size_t ignored = 0; // datagrams ignored: from outside the networks or their ports, not a status reply, a repeat
};

// Sends STATUS_QUERY to every network's broadcast address on each port LAN_FIRST_PORT to LAN_LAST_PORT, then for
// LAN_LISTEN_MS takes each host that answers with a status reply from a host of one of `networks` and from one of
// those ports, once, as a 6-byte list entry handed to `deliver`. Anything else is ignored. No networks: nothing is
// sent and it returns at once, as it does when the socket was interrupted already. Ends early when the socket is
// interrupted.
LanSearchCount SearchLan(const std::vector<LocalNetwork>& networks, DatagramSocket& socket,
                         const std::function<void(const unsigned char* entry, size_t length)>& deliver);
