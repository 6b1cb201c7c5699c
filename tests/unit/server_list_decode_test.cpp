#include "core/run/server_table.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "core/protocol/list_entry.h"
#include "core/protocol/servers_reply.h"
#include "core/run/address_index.h"

namespace {

// The table a body makes, its records named by the first master.
struct DecodedTable {
    std::shared_ptr<ServerTable> table;
    int32_t count;

    explicit DecodedTable(const std::vector<unsigned char>& body)
        : table(BuildServerTable(body.data(), static_cast<uint32_t>(body.size()), MasterSource(0))),
          count(table ? static_cast<int32_t>(table->size()) : -1) {}
    const ServerRecord& operator[](size_t index) const { return (*table)[index]; }
};

std::vector<unsigned char> Entry(unsigned char a, unsigned char b, unsigned char c, unsigned char d,
                                 unsigned char portHigh, unsigned char portLow) {
    return {a, b, c, d, portHigh, portLow};
}

std::vector<unsigned char> Join(std::initializer_list<std::vector<unsigned char>> parts) {
    std::vector<unsigned char> body;
    for (const auto& part : parts) {
        body.insert(body.end(), part.begin(), part.end());
    }
    return body;
}

unsigned char FirstOctet(uint32_t addr) {
    unsigned char octets[4];
    std::memcpy(octets, &addr, sizeof octets);
    return octets[0];
}

TEST(BuildServerTable, KeepsAddressBytesAndReadsBigEndianPorts) {
    DecodedTable table(Join({Entry(0xC0, 0xA8, 0x00, 0x01, 0x00, 0x50), Entry(10, 0, 0, 2, 0x01, 0x00)}));
    ASSERT_EQ(table.count, 2);
    const unsigned char expected[4] = {0xC0, 0xA8, 0x00, 0x01};
    EXPECT_EQ(std::memcmp(&table[0].addr, expected, 4), 0);
    EXPECT_EQ(table[0].port, 80);
    EXPECT_EQ(FirstOctet(table[1].addr), 10);
    EXPECT_EQ(table[1].port, 256);
}

TEST(BuildServerTable, DropsRepeatedPairsKeepingFirstAppearanceOrder) {
    DecodedTable same(Join({Entry(1, 2, 3, 4, 0x6D, 0x26), Entry(1, 2, 3, 4, 0x6D, 0x26)}));
    EXPECT_EQ(same.count, 1);

    // (A, P), (A, Q), (A, P): the same address with another port is another server.
    DecodedTable ports(
        Join({Entry(1, 2, 3, 4, 0, 80), Entry(1, 2, 3, 4, 0, 81), Entry(1, 2, 3, 4, 0, 80), Entry(9, 9, 9, 9, 0, 1)}));
    ASSERT_EQ(ports.count, 3);
    EXPECT_EQ(ports[0].port, 80);
    EXPECT_EQ(ports[1].port, 81);
    EXPECT_EQ(FirstOctet(ports[2].addr), 9);
}

TEST(BuildServerTable, AcceptsZeroAddressAndPort) {
    DecodedTable table(Entry(0, 0, 0, 0, 0, 0));
    ASSERT_EQ(table.count, 1);
    EXPECT_EQ(table[0].addr, 0u);
    EXPECT_EQ(table[0].port, 0);
}

TEST(BuildServerTable, IgnoresATrailingFragment) {
    std::vector<unsigned char> five = {1, 2, 3, 4, 5};
    DecodedTable fiveBytes(five);
    EXPECT_EQ(fiveBytes.count, 0);

    DecodedTable empty(std::vector<unsigned char>{});
    EXPECT_EQ(empty.count, 0);

    std::vector<unsigned char> thirteen = Join({Entry(1, 1, 1, 1, 0, 1), Entry(2, 2, 2, 2, 0, 2)});
    thirteen.push_back(0xFF);
    DecodedTable thirteenBytes(thirteen);
    ASSERT_EQ(thirteenBytes.count, 2);
    EXPECT_EQ(thirteenBytes[1].port, 2);
}

TEST(BuildServerTable, LeavesEveryOtherFieldZero) {
    DecodedTable table(Join({Entry(1, 1, 1, 1, 0, 1), Entry(2, 2, 2, 2, 0, 2)}));
    ASSERT_EQ(table.count, 2);
    for (size_t i = 0; i < 2; ++i) {
        const ServerRecord& record = table[i];
        ServerRecord expected{};
        expected.addr = record.addr;
        expected.port = record.port;
        expected.sources = MasterSource(0);
        EXPECT_EQ(std::memcmp(&record, &expected, sizeof record), 0);
    }
    EXPECT_EQ(CountUnanswered(*table.table), 2);
}

TEST(BuildServerTable, HandlesTheLargestBodyTheDownloadKeeps) {
    // 65,534 bytes: 10,922 entries, all distinct, plus a 2-byte fragment.
    std::vector<unsigned char> body;
    for (uint32_t i = 0; i < 10922; ++i) {
        auto entry = Entry(10, static_cast<unsigned char>(i >> 8), static_cast<unsigned char>(i), 1, 0x6D, 0x26);
        body.insert(body.end(), entry.begin(), entry.end());
    }
    body.push_back(1);
    body.push_back(2);
    DecodedTable table(body);
    EXPECT_EQ(table.count, 10922);
}

TEST(CountUnanswered, CountsTheRecordsThatHaveNotAnswered) {
    DecodedTable table(Join({Entry(1, 1, 1, 1, 0, 1), Entry(2, 2, 2, 2, 0, 2), Entry(3, 3, 3, 3, 0, 3)}));
    (*table.table)[1].answered = 1;
    EXPECT_EQ(CountUnanswered(*table.table), 2);
    (*table.table)[0].answered = 1;
    (*table.table)[2].answered = 1;
    EXPECT_EQ(CountUnanswered(*table.table), 0);
    EXPECT_EQ(CountUnanswered(ServerTable()), 0);
}

// A classic master's `servers` reply carries the same entries as the web list body, after its 12-byte header.
TEST(ServersReply, FindsTheWholeEntriesAfterTheHeader) {
    const std::string SPACE("\xff\xff\xff\xffservers ", 12);
    const std::string ENTRY("\x7f\x00\x00\x01\x6d\x06", 6);
    const struct {
        std::string datagram;
        bool accepted;
        size_t entryBytes;
    } CASES[] = {
        {SPACE, true, 0},
        {SPACE + ENTRY + ENTRY, true, 12},
        {SPACE + ENTRY + "\x01\x02\x03\x04\x05", true, 6}, // a trailing fragment is not an entry
        {"\xff\xff\xff\xffservers\n" + ENTRY, true, 6},
        {"\xff\xff\xff\xffservers", false, 0},
        {"\xff\xff\xff\xffserversX" + ENTRY, false, 0},
        {"\xff\xff\xff\xfeservers " + ENTRY, false, 0},
        {"servers " + ENTRY, false, 0},
        {"\xff\xff\xff\xffprint\n\\gamename\\ctf\n", false, 0},
    };
    for (const auto& c : CASES) {
        const auto* data = reinterpret_cast<const unsigned char*>(c.datagram.data());
        const unsigned char* entries = nullptr;
        size_t length = 99;
        EXPECT_EQ(FindServersReplyEntries(data, c.datagram.size(), &entries, &length), c.accepted) << c.datagram;
        if (c.accepted) {
            EXPECT_EQ(entries, data + SERVERS_REPLY_HEADER_SIZE);
            EXPECT_EQ(length, c.entryBytes) << c.datagram;
        } else {
            EXPECT_EQ(entries, nullptr);
            EXPECT_EQ(length, 99u);
        }
    }
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(MASTER_QUERY), MASTER_QUERY_SIZE), std::string("query\n", 7));
}

TEST(AddressIndex, MergesDistinctPairsInFirstSeenOrderWithEverySourceThatNamedThem) {
    AddressIndex sources(100);
    std::vector<unsigned char> web = Join({Entry(1, 1, 1, 1, 0, 1), Entry(2, 2, 2, 2, 0, 2), Entry(1, 1, 1, 1, 0, 1)});
    EXPECT_EQ(sources.AddEntries(web.data(), web.size(), MasterSource(0)), 2u);
    // A UDP master's list overlapping the web list, with the same address on another port and a fragment.
    std::vector<unsigned char> udp = Join({Entry(2, 2, 2, 2, 0, 2), Entry(1, 1, 1, 1, 0, 3), Entry(9, 9, 9, 9, 0, 9)});
    udp.push_back(7);
    EXPECT_EQ(sources.AddEntries(udp.data(), udp.size(), MasterSource(3)), 2u);
    ListEntry other = ReadListEntry(Entry(1, 1, 1, 2, 0, 1).data());
    EXPECT_EQ(sources.Add(other.addr, other.port, SOURCE_FAVOURITE), MergeResult::Added) << "another address";
    ListEntry first = ReadListEntry(web.data());
    EXPECT_EQ(sources.Add(first.addr, first.port, SOURCE_REMEMBERED), MergeResult::Known);

    const std::vector<SourcedServer>& servers = sources.servers();
    ASSERT_EQ(servers.size(), 5u);
    const struct {
        unsigned char firstOctet;
        uint16_t port;
        SourceSet sources;
    } EXPECTED[] = {
        {1, 1, MasterSource(0) | SOURCE_REMEMBERED},
        {2, 2, MasterSource(0) | MasterSource(3)},
        {1, 3, MasterSource(3)},
        {9, 9, MasterSource(3)},
        {1, 1, SOURCE_FAVOURITE},
    };
    for (size_t i = 0; i < servers.size(); ++i) {
        EXPECT_EQ(FirstOctet(servers[i].addr), EXPECTED[i].firstOctet) << i;
        EXPECT_EQ(servers[i].port, EXPECTED[i].port) << i;
        EXPECT_EQ(servers[i].sources, EXPECTED[i].sources) << i;
        EXPECT_EQ(sources.SourcesOf(servers[i].addr, servers[i].port), EXPECTED[i].sources) << i;
    }
    EXPECT_EQ(sources.SourcesOf(first.addr, 2), 0u);
}

TEST(AddressIndex, ALimitTurnsNewServersAwayButStillRecordsSourcesOfKnownOnes) {
    AddressIndex sources(2);
    std::vector<unsigned char> body =
        Join({Entry(1, 0, 0, 1, 0, 1), Entry(1, 0, 0, 2, 0, 1), Entry(1, 0, 0, 3, 0, 1), Entry(1, 0, 0, 4, 0, 1)});
    EXPECT_EQ(sources.AddEntries(body.data(), body.size(), MasterSource(1)), 2u);
    EXPECT_EQ(sources.refused(), 2u);
    EXPECT_EQ(sources.AddEntries(body.data(), 12, SOURCE_FAVOURITE), 0u);
    EXPECT_EQ(sources.refused(), 2u) << "known servers are not refused";
    ASSERT_EQ(sources.servers().size(), 2u);
    EXPECT_EQ(sources.servers()[1].sources, MasterSource(1) | SOURCE_FAVOURITE);
}

} // namespace

TEST(SourceLines, NamesEachSourceMastersFirstInIndexOrder) {
    const std::vector<std::u16string> names = {u"http://127.0.0.1", u"master.example.net"};
    EXPECT_EQ(SourceLines(MasterSource(0), names), (std::vector<std::u16string>{u"Master: http://127.0.0.1"}));
    EXPECT_EQ(
        SourceLines(SOURCE_REMEMBERED | MasterSource(11) | SOURCE_FAVOURITE | MasterSource(1), names),
        (std::vector<std::u16string>{u"Master: master.example.net", u"Master 12", u"Favourite", u"Remembered list"}));
    EXPECT_TRUE(SourceLines(0, names).empty());
    EXPECT_TRUE(SourceLines(SourceSet{1} << 31, {}).empty()); // no source has that bit
}
