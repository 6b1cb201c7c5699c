// The local networks on Windows: the adapters GetAdaptersAddresses lists.
#include "core/run/local_networks.h"

#include <winsock2.h>
#include <ws2tcpip.h>
#include <iphlpapi.h>

namespace {

// Enough for a machine's adapters at the first try; a larger list is asked for again at the size it needs.
constexpr ULONG ADAPTERS_BUFFER_BYTES = 16 * 1024;
constexpr int ADAPTERS_TRIES = 3;

uint32_t MaskOfLength(ULONG length) {
    uint32_t hostOrder = length == 0 ? 0 : length >= 32 ? 0xFFFFFFFFu : ~((1u << (32 - length)) - 1);
    return htonl(hostOrder);
}

void AddAdapterNetworks(const IP_ADAPTER_ADDRESSES& adapter, std::vector<LocalNetwork>& networks) {
    bool usable = adapter.OperStatus == IfOperStatusUp && adapter.IfType != IF_TYPE_SOFTWARE_LOOPBACK &&
                  adapter.IfType != IF_TYPE_PPP && adapter.IfType != IF_TYPE_TUNNEL;
    for (const IP_ADAPTER_UNICAST_ADDRESS* unicast = adapter.FirstUnicastAddress; usable && unicast;
         unicast = unicast->Next) {
        const SOCKADDR* address = unicast->Address.lpSockaddr;
        if (address && address->sa_family == AF_INET) {
            AddLocalNetwork(reinterpret_cast<const sockaddr_in*>(address)->sin_addr.s_addr,
                            MaskOfLength(unicast->OnLinkPrefixLength), networks);
        }
    }
}

} // namespace

std::vector<LocalNetwork> ListBroadcastNetworks() {
    std::vector<LocalNetwork> networks;
    ULONG size = ADAPTERS_BUFFER_BYTES;
    std::vector<unsigned char> buffer;
    ULONG result = ERROR_BUFFER_OVERFLOW;
    for (int tries = 0; tries < ADAPTERS_TRIES && result == ERROR_BUFFER_OVERFLOW; ++tries) {
        buffer.assign(size, 0);
        result =
            GetAdaptersAddresses(AF_INET, GAA_FLAG_SKIP_ANYCAST | GAA_FLAG_SKIP_MULTICAST | GAA_FLAG_SKIP_DNS_SERVER,
                                 nullptr, reinterpret_cast<IP_ADAPTER_ADDRESSES*>(buffer.data()), &size);
    }
    if (result != NO_ERROR) {
        return networks;
    }
    for (const auto* adapter = reinterpret_cast<const IP_ADAPTER_ADDRESSES*>(buffer.data()); adapter;
         adapter = adapter->Next) {
        AddAdapterNetworks(*adapter, networks);
    }
    return networks;
}
