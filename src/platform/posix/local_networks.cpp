// The local networks on POSIX systems (the native build): the interfaces getifaddrs lists.
#include "core/run/local_networks.h"

#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>

std::vector<LocalNetwork> ListBroadcastNetworks() {
    std::vector<LocalNetwork> networks;
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0) {
        return networks;
    }
    for (const ifaddrs* entry = list; entry; entry = entry->ifa_next) {
        bool usable = entry->ifa_addr && entry->ifa_netmask && entry->ifa_addr->sa_family == AF_INET &&
                      (entry->ifa_flags & IFF_UP) != 0 && (entry->ifa_flags & IFF_BROADCAST) != 0 &&
                      (entry->ifa_flags & (IFF_LOOPBACK | IFF_POINTOPOINT)) == 0;
        if (usable) {
            AddLocalNetwork(reinterpret_cast<const sockaddr_in*>(entry->ifa_addr)->sin_addr.s_addr,
                            reinterpret_cast<const sockaddr_in*>(entry->ifa_netmask)->sin_addr.s_addr, networks);
        }
    }
    freeifaddrs(list);
    return networks;
}
