#include "core/run/lan_search.h"

#include <gtest/gtest.h>

#include <cstring>
#include <deque>
#include <string>
#include <vector>

#include "core/protocol/list_entry.h"

namespace {

// An address in network byte order from its four octets, as the socket calls give it.
uint32_t Addr(uint32_t a, uint32_t b, uint32_t c, uint32_t d) {
    return AddressFromOctets(a << 24 | b << 16 | c << 8 | d);
}

// Answers from a list, as if they had all come at once; then nothing more comes.
class ScriptedSocket final : public DatagramSocket {
public:
    struct Datagram {
        ReceiveStatus status;
        std::string bytes;
        uint32_t addr;
        uint16_t port;
    };
    int SendTo(uint32_t addr, uint16_t port, const void*, size_t) override {
        sent.push_back({addr, port});
        return 0;
    }
    int AllowBroadcast() override { return 0; }
    ReceiveStatus ReceiveFrom(char* buffer, size_t capacity, size_t& length, uint32_t& addr, uint16_t& port) override {
        if (waiting.empty()) {
            return ReceiveStatus::Empty;
        }
        Datagram datagram = waiting.front();
        waiting.pop_front();
        if (datagram.status != ReceiveStatus::Datagram || datagram.bytes.size() > capacity) {
            return ReceiveStatus::Skipped;
        }
        std::memcpy(buffer, datagram.bytes.data(), datagram.bytes.size());
        length = datagram.bytes.size();
        addr = datagram.addr;
        port = datagram.port;
        return ReceiveStatus::Datagram;
    }
    bool WaitReadable() override { return !waiting.empty(); }
    Wait WaitReadableFor(uint32_t) override { return waiting.empty() ? Wait::Timeout : Wait::Readable; }
    void Interrupt() override {}
    bool Interrupted() override { return false; }

    std::vector<ListEntry> sent;
    std::deque<Datagram> waiting;
};

std::vector<LocalNetwork> Networks(std::initializer_list<std::pair<uint32_t, uint32_t>> addressesAndMasks) {
    std::vector<LocalNetwork> networks;
    for (const auto& [addr, mask] : addressesAndMasks) {
        EXPECT_TRUE(AddLocalNetwork(addr, mask, networks));
    }
    return networks;
}

const std::string REPLY = "\xff\xff\xff\xffprint\n\\hostname\\LAN party\\mapname\\q2dm1\n";

} // namespace

TEST(LocalNetworks, AreMadeFromContiguousMasksWithRoomForHostsEachOnce) {
    std::vector<LocalNetwork> networks;
    ASSERT_TRUE(AddLocalNetwork(Addr(192, 168, 1, 20), Addr(255, 255, 255, 0), networks));
    ASSERT_EQ(networks.size(), 1u);
    EXPECT_EQ(networks[0].broadcast, Addr(192, 168, 1, 255));
    EXPECT_TRUE(AddLocalNetwork(Addr(192, 168, 1, 21), Addr(255, 255, 255, 0), networks)); // a second address
    EXPECT_TRUE(AddLocalNetwork(Addr(10, 1, 2, 3), Addr(255, 255, 240, 0), networks));
    ASSERT_EQ(networks.size(), 2u);
    EXPECT_EQ(networks[1].broadcast, Addr(10, 1, 15, 255));
    EXPECT_FALSE(AddLocalNetwork(Addr(10, 0, 0, 1), Addr(255, 0, 255, 0), networks));     // not leading ones
    EXPECT_FALSE(AddLocalNetwork(Addr(10, 0, 0, 1), Addr(255, 255, 255, 254), networks)); // a /31 link
    EXPECT_FALSE(AddLocalNetwork(Addr(10, 0, 0, 1), Addr(255, 255, 255, 255), networks)); // a host route
    EXPECT_EQ(networks.size(), 2u);

    EXPECT_TRUE(IsOnLocalNetwork(networks, Addr(192, 168, 1, 7)));
    EXPECT_TRUE(IsOnLocalNetwork(networks, Addr(10, 1, 9, 200)));
    EXPECT_FALSE(IsOnLocalNetwork(networks, Addr(192, 168, 2, 7)));
    EXPECT_FALSE(IsOnLocalNetwork(networks, Addr(192, 168, 1, 255))) << "the broadcast address is no host";
    EXPECT_FALSE(IsOnLocalNetwork(networks, Addr(192, 168, 1, 0))) << "nor is the network's own";
    EXPECT_FALSE(IsOnLocalNetwork(networks, Addr(8, 8, 8, 8)));
    EXPECT_FALSE(IsOnLocalNetwork({}, Addr(192, 168, 1, 7)));
}

TEST(LanSearch, BroadcastsOnEveryNetworkToTheGamesPortsAndTakesEachLocalServerOnce) {
    ScriptedSocket socket;
    std::vector<LocalNetwork> networks =
        Networks({{Addr(192, 168, 1, 20), Addr(255, 255, 255, 0)}, {Addr(10, 0, 0, 1), Addr(255, 0, 0, 0)}});
    socket.waiting = {
        {ReceiveStatus::Datagram, REPLY, Addr(192, 168, 1, 30), 27910},
        {ReceiveStatus::Datagram, REPLY, Addr(10, 20, 30, 40), 27914},
        {ReceiveStatus::Datagram, REPLY, Addr(192, 168, 1, 30), 27910}, // answered the other broadcast too
        {ReceiveStatus::Datagram, REPLY, Addr(192, 168, 1, 30), 27911}, // a second server on that host
    };
    std::vector<ListEntry> taken;
    LanSearchCount count = SearchLan(networks, socket, [&](const unsigned char* entry, size_t length) {
        ASSERT_EQ(length, LIST_ENTRY_SIZE);
        taken.push_back(ReadListEntry(entry));
    });
    ASSERT_EQ(socket.sent.size(), 10u) << "five ports on each of two networks";
    EXPECT_EQ(socket.sent[0].addr, Addr(192, 168, 1, 255));
    EXPECT_EQ(socket.sent[0].port, LAN_FIRST_PORT);
    EXPECT_EQ(socket.sent[9].addr, Addr(10, 255, 255, 255));
    EXPECT_EQ(socket.sent[9].port, LAN_LAST_PORT);
    EXPECT_EQ(count.sent, 10);
    ASSERT_EQ(taken.size(), 3u);
    EXPECT_EQ(taken[0].addr, Addr(192, 168, 1, 30));
    EXPECT_EQ(taken[0].port, 27910);
    EXPECT_EQ(taken[1].addr, Addr(10, 20, 30, 40));
    EXPECT_EQ(taken[2].port, 27911);
    EXPECT_EQ(count.taken, 3u);
    EXPECT_EQ(count.ignored, 1u);
}

TEST(LanSearch, AHostileOrStrayAnswerIsIgnoredAndNoNetworkSendsNothing) {
    ScriptedSocket socket;
    std::vector<LocalNetwork> networks = Networks({{Addr(192, 168, 1, 20), Addr(255, 255, 255, 0)}});
    socket.waiting = {
        {ReceiveStatus::Datagram, REPLY, Addr(203, 0, 113, 5), 27910},                   // from outside the network
        {ReceiveStatus::Datagram, REPLY, Addr(192, 168, 1, 255), 27910},                 // "from" the broadcast address
        {ReceiveStatus::Datagram, REPLY, Addr(192, 168, 1, 31), 27915},                  // from a port not asked
        {ReceiveStatus::Datagram, REPLY, Addr(192, 168, 1, 31), 53},                     // nor this one
        {ReceiveStatus::Datagram, "", Addr(192, 168, 1, 32), 27910},                     // empty
        {ReceiveStatus::Datagram, "\xff\xff\xff\xffprin", Addr(192, 168, 1, 33), 27910}, // cut short
        {ReceiveStatus::Datagram, "\xff\xff\xff\xffservers \x01\x02\x03\x04\x6d\x06", Addr(192, 168, 1, 34), 27910},
        {ReceiveStatus::Datagram, std::string(5000, 'x'), Addr(192, 168, 1, 35), 27910}, // longer than any reply
        {ReceiveStatus::Skipped, "", 0, 0},                                              // a port-unreachable report
        {ReceiveStatus::Datagram, REPLY + std::string(1, '\0') + "junk", Addr(192, 168, 1, 36), 27912},
    };
    std::vector<ListEntry> taken;
    LanSearchCount count =
        SearchLan(networks, socket, [&](const unsigned char* entry, size_t) { taken.push_back(ReadListEntry(entry)); });
    ASSERT_EQ(taken.size(), 1u) << "only the status reply from a host of the network, from a game's port";
    EXPECT_EQ(taken[0].addr, Addr(192, 168, 1, 36));
    EXPECT_EQ(taken[0].port, 27912);
    EXPECT_EQ(count.ignored, 9u);

    // A flood from the network is cut at the limit.
    socket.waiting.clear();
    for (uint32_t host = 0; host < LAN_MAX_SERVERS + 10; ++host) {
        auto port = static_cast<uint16_t>(LAN_FIRST_PORT + host / 254); // 254 hosts on each of the five ports
        socket.waiting.push_back({ReceiveStatus::Datagram, REPLY, Addr(192, 168, 1, 1 + host % 254), port});
    }
    count = SearchLan(networks, socket, [](const unsigned char*, size_t) {});
    EXPECT_EQ(count.taken, LAN_MAX_SERVERS);
    EXPECT_EQ(count.ignored, 10u);

    ScriptedSocket idle;
    idle.waiting = {{ReceiveStatus::Datagram, REPLY, Addr(192, 168, 1, 30), 27910}};
    count = SearchLan({}, idle, [&](const unsigned char*, size_t) { ADD_FAILURE() << "no search, nothing taken"; });
    EXPECT_TRUE(idle.sent.empty());
    EXPECT_EQ(count.sent, 0);
    EXPECT_EQ(idle.waiting.size(), 1u) << "nothing read either";
}
