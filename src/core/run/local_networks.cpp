#include "core/run/local_networks.h"

namespace {

uint32_t HostOrder(uint32_t networkOrder) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(&networkOrder);
    return (uint32_t{bytes[0]} << 24) | (uint32_t{bytes[1]} << 16) | (uint32_t{bytes[2]} << 8) | bytes[3];
}

} // namespace

bool AddLocalNetwork(uint32_t addr, uint32_t mask, std::vector<LocalNetwork>& networks) {
    uint32_t hostMask = HostOrder(mask);
    uint32_t hosts = ~hostMask;
    // Leading ones only (hosts + 1 a power of two), and at least two host bits.
    if ((hosts & (hosts + 1)) != 0 || hosts < 3) {
        return false;
    }
    uint32_t broadcast = addr | ~mask;
    for (const LocalNetwork& known : networks) {
        if (known.broadcast == broadcast) {
            return true;
        }
    }
    networks.push_back(LocalNetwork{addr, mask, broadcast});
    return true;
}

bool IsOnLocalNetwork(const std::vector<LocalNetwork>& networks, uint32_t addr) {
    for (const LocalNetwork& network : networks) {
        bool inside = (addr & network.mask) == (network.addr & network.mask);
        bool host = (addr & ~network.mask) != 0 && (addr | network.mask) != ~uint32_t{0};
        if (inside && host) {
            return true;
        }
    }
    return false;
}
