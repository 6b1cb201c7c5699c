#include "core/run/lan_search.h"

#include <cstring>
#include <unordered_set>

#include "core/protocol/list_entry.h"
#include "core/protocol/status_reply.h"

namespace {

// The largest reply taken, as the query engine takes them; a longer datagram is skipped by the socket.
constexpr size_t LAN_DATAGRAM_SIZE = 4096;
// A status reply begins so.
constexpr char REPLY_HEADER[] = "\xFF\xFF\xFF\xFFprint\n";
constexpr size_t REPLY_HEADER_SIZE = sizeof REPLY_HEADER - 1;

bool IsStatusReply(const char* datagram, size_t length) {
    return length >= REPLY_HEADER_SIZE && std::memcmp(datagram, REPLY_HEADER, REPLY_HEADER_SIZE) == 0;
}

} // namespace

LanSearchCount SearchLan(const std::vector<LocalNetwork>& networks, DatagramSocket& socket,
                         const std::function<void(const unsigned char* entry, size_t length)>& deliver) {
    LanSearchCount count;
    // The networks may have been listed late, after the run ended: an ended run broadcasts nothing.
    if (networks.empty() || socket.Interrupted()) {
        return count;
    }
    for (const LocalNetwork& network : networks) {
        for (uint32_t port = LAN_FIRST_PORT; port <= LAN_LAST_PORT; ++port) {
            if (socket.SendTo(network.broadcast, static_cast<uint16_t>(port), STATUS_QUERY, STATUS_QUERY_SIZE) == 0) {
                ++count.sent;
            }
        }
    }
    std::unordered_set<uint64_t> seen;
    char datagram[LAN_DATAGRAM_SIZE];
    uint32_t start = RunClockMs();
    for (;;) {
        uint32_t waited = ElapsedMs(start, RunClockMs());
        if (waited >= LAN_LISTEN_MS ||
            socket.WaitReadableFor(LAN_LISTEN_MS - waited) != DatagramSocket::Wait::Readable) {
            return count;
        }
        for (;;) {
            size_t length = 0;
            uint32_t addr = 0;
            uint16_t port = 0;
            ReceiveStatus status = socket.ReceiveFrom(datagram, sizeof datagram, length, addr, port);
            if (status == ReceiveStatus::Empty) {
                break;
            }
            bool wanted = status == ReceiveStatus::Datagram && port >= LAN_FIRST_PORT && port <= LAN_LAST_PORT &&
                          IsOnLocalNetwork(networks, addr) && IsStatusReply(datagram, length) &&
                          count.taken < LAN_MAX_SERVERS && seen.insert(ServerPairKey(addr, port)).second;
            if (!wanted) {
                ++count.ignored;
                continue;
            }
            unsigned char entry[LIST_ENTRY_SIZE];
            WriteListEntry({addr, port}, entry);
            deliver(entry, LIST_ENTRY_SIZE);
            ++count.taken;
        }
    }
}
