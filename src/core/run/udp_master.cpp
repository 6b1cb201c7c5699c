#include "core/run/udp_master.h"

#include <memory>

#include "core/protocol/servers_reply.h"

namespace {

// Room for the largest UDP datagram, so no list datagram is ever cut.
constexpr size_t LIST_DATAGRAM_CAPACITY = 65536;

std::string NarrowHost(const std::u16string& host) {
    // A master's host is ASCII (ParseMasterEntry takes nothing else).
    return std::string(host.begin(), host.end());
}

} // namespace

UdpMasterResult AskUdpMaster(const MasterEntry& master, DatagramSocket& socket, const HostResolver& resolve,
                             const std::function<void(const unsigned char* entries, size_t length)>& deliver) {
    uint32_t addr = 0;
    int error = resolve(NarrowHost(master.host), addr);
    if (error != 0) {
        return {UdpMasterEnd::Unresolved, error};
    }
    // The look-up may have taken seconds, long enough for the run to be aborted or its window closed: an ended run
    // asks no master.
    if (socket.Interrupted()) {
        return {UdpMasterEnd::Interrupted, 0};
    }
    std::unique_ptr<char[]> datagram(new char[LIST_DATAGRAM_CAPACITY]);
    bool answered = false;
    int tries = 0;
    int datagrams = 0;
    uint32_t waitStart = 0;
    uint32_t firstAnswer = 0;
    for (;;) {
        if (!answered) {
            if (tries == UDP_MASTER_TRIES) {
                return {UdpMasterEnd::NoAnswer, 0};
            }
            ++tries;
            error = socket.SendTo(addr, master.port, MASTER_QUERY, MASTER_QUERY_SIZE);
            if (error != 0) {
                return {UdpMasterEnd::SendFailed, error};
            }
            waitStart = RunClockMs();
        }
        // Until the try's time, or the quiet time after the list's last datagram, runs out.
        for (;;) {
            uint32_t limit = answered ? UDP_MASTER_QUIET_MS : UDP_MASTER_TRY_MS;
            uint32_t waited = RunClockMs() - waitStart;
            if (waited >= limit) {
                break;
            }
            DatagramSocket::Wait wait = socket.WaitReadableFor(limit - waited);
            if (wait == DatagramSocket::Wait::Interrupted) {
                return {UdpMasterEnd::Interrupted, 0};
            }
            if (wait == DatagramSocket::Wait::Timeout) {
                break;
            }
            size_t length = 0;
            uint32_t from = 0;
            uint16_t fromPort = 0;
            ReceiveStatus status;
            while ((status = socket.ReceiveFrom(datagram.get(), LIST_DATAGRAM_CAPACITY, length, from, fromPort)) !=
                   ReceiveStatus::Empty) {
                const unsigned char* entries = nullptr;
                size_t entriesLength = 0;
                if (status != ReceiveStatus::Datagram || from != addr || fromPort != master.port ||
                    !FindServersReplyEntries(reinterpret_cast<const unsigned char*>(datagram.get()), length, &entries,
                                             &entriesLength)) {
                    continue;
                }
                uint32_t now = RunClockMs();
                if (!answered) {
                    answered = true;
                    firstAnswer = now;
                }
                deliver(entries, entriesLength);
                waitStart = now;
                if (++datagrams >= UDP_MASTER_MAX_DATAGRAMS || now - firstAnswer >= UDP_MASTER_LIST_MS) {
                    return {UdpMasterEnd::Answered, 0};
                }
            }
        }
        if (answered) {
            return {UdpMasterEnd::Answered, 0};
        }
    }
}
