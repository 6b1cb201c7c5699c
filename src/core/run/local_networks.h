// The local IPv4 networks an update run broadcasts its status query on, and whether an address lies on one of them.
// Portable (no Win32): the list comes from the system, by GetAdaptersAddresses in the program
// (platform/win32/local_networks.cpp) and by getifaddrs natively (platform/posix/local_networks.cpp).
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

// All three in network byte order.
struct LocalNetwork {
    uint32_t addr;      // this machine's address on the network
    uint32_t mask;      // the network's mask
    uint32_t broadcast; // where a datagram to every host of the network goes
};

// Who lists the networks for a run: the system's lister in the program, a made-up list in tests.
using LocalNetworkLister = std::function<std::vector<LocalNetwork>()>;

// The IPv4 networks of the interfaces that are up and can broadcast (loopback and point-to-point links cannot),
// each once. Empty when there are none, or they cannot be listed.
std::vector<LocalNetwork> ListBroadcastNetworks();

// Adds the network with that address and mask, its broadcast address made from them, unless one with that broadcast
// address is there already. A mask that is not a run of leading ones, or one that leaves no room for hosts (/31,
// /32), makes no network: false, nothing added.
bool AddLocalNetwork(uint32_t addr, uint32_t mask, std::vector<LocalNetwork>& networks);

// Whether `addr` is a host of one of `networks` (neither the network's own address nor its broadcast address).
bool IsOnLocalNetwork(const std::vector<LocalNetwork>& networks, uint32_t addr);
