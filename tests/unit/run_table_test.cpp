#include "core/run/run_table.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "core/protocol/list_entry.h"
#include "core/protocol/servers_reply.h"

namespace {

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
    return static_cast<unsigned char>(OctetsOfAddress(addr) >> 24);
}

// A run's table, its servers merged from one master's body.
class Table {
public:
    explicit Table(bool unpaced = false, size_t limit = MAX_RUN_SERVERS) : table(limit, unpaced, *progress) {}

    MergeCount Merge(const std::vector<unsigned char>& body, SourceSet source = MasterSource(0)) {
        return table.Merge(body.data(), body.size(), source);
    }
    // Claims every server once, in order, as a pass does; returns how many were sent.
    size_t ClaimAll(uint32_t now, int32_t attemptsBelow = QUERY_PASSES_FOR_TESTS) {
        size_t sent = 0;
        for (size_t i = 0; i < table.Size(); ++i) {
            sent += table.ClaimQuery(i, attemptsBelow, now).outcome == ClaimOutcome::Send ? 1 : 0;
        }
        return sent;
    }
    const ServerRecord& operator[](size_t index) const { return (*table.Records())[index]; }
    ServerRecord* Accept(size_t index, uint32_t arrival, bool fresh = true) {
        const ServerRecord& record = (*this)[index];
        int32_t accepted = -1;
        uint32_t queryTime = 0;
        return table.AcceptReply(record.addr, record.port, ReplyReading{arrival, fresh, false}, &accepted, &queryTime);
    }

    static constexpr int32_t QUERY_PASSES_FOR_TESTS = 3;
    std::unique_ptr<WakeSignal> progress = MakeWakeSignal();
    RunTable table;
};

TEST(RunTable, KeepsAddressBytesAndReadsBigEndianPorts) {
    Table table;
    table.Merge(Join({Entry(0xC0, 0xA8, 0x00, 0x01, 0x00, 0x50), Entry(10, 0, 0, 2, 0x01, 0x00)}));
    ASSERT_EQ(table.table.Size(), 2u);
    EXPECT_EQ(table.ClaimAll(100), 2u);
    const unsigned char expected[4] = {0xC0, 0xA8, 0x00, 0x01};
    EXPECT_EQ(std::memcmp(&table[0].addr, expected, 4), 0);
    EXPECT_EQ(table[0].port, 80);
    EXPECT_EQ(FirstOctet(table[1].addr), 10);
    EXPECT_EQ(table[1].port, 256);
}

TEST(RunTable, MergesDistinctPairsInFirstSeenOrderWithEverySourceThatNamedThem) {
    Table table;
    // (A, P), (A, Q), (A, P): the same address with another port is another server.
    EXPECT_EQ(table.Merge(Join({Entry(1, 1, 1, 1, 0, 1), Entry(2, 2, 2, 2, 0, 2), Entry(1, 1, 1, 1, 0, 1)})).added, 2u);
    // A classic master's list overlapping the web list, with the same address on another port and a fragment.
    std::vector<unsigned char> udp = Join({Entry(2, 2, 2, 2, 0, 2), Entry(1, 1, 1, 1, 0, 3), Entry(9, 9, 9, 9, 0, 9)});
    udp.push_back(7);
    EXPECT_EQ(table.Merge(udp, MasterSource(3)).added, 2u);
    EXPECT_EQ(table.Merge(Entry(1, 1, 1, 2, 0, 1), SOURCE_FAVOURITE).added, 1u) << "another address";
    // A server merged after its record was made gains the source there too.
    EXPECT_EQ(table.ClaimAll(100), 5u);
    EXPECT_EQ(table.Merge(Entry(1, 1, 1, 1, 0, 1), SOURCE_REMEMBERED).added, 0u);

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
    ASSERT_EQ(table.table.Size(), 5u);
    for (size_t i = 0; i < 5; ++i) {
        EXPECT_EQ(FirstOctet(table[i].addr), EXPECTED[i].firstOctet) << i;
        EXPECT_EQ(table[i].port, EXPECTED[i].port) << i;
        EXPECT_EQ(table[i].sources.load(), EXPECTED[i].sources) << i;
    }
    EXPECT_EQ(table.table.ServersNamedBy(MasterSource(3)).size(), 3u);
    EXPECT_EQ(table.table.ServersNamedBy(SOURCE_FAVOURITE - 1).size(), 4u) << "the masters' servers";
}

// No status query goes to an address that names no game server, whichever source names it: 0.0.0.0 reaches the
// asking machine itself.
TEST(RunTable, LeavesOutEntriesThatNameNoGameServer) {
    Table table;
    MergeCount count = table.Merge(
        Join({Entry(0, 0, 0, 0, 0x6D, 0x26), Entry(0, 1, 2, 3, 0x6D, 0x26), Entry(255, 255, 255, 255, 0x6D, 0x26),
              Entry(224, 0, 0, 1, 0x6D, 0x26), Entry(239, 255, 255, 250, 0x6D, 0x26), Entry(240, 0, 0, 1, 0x6D, 0x26),
              Entry(127, 0, 0, 1, 0, 0), Entry(127, 0, 0, 1, 0x6D, 0x26), Entry(223, 255, 255, 255, 0, 1)}),
        SOURCE_FAVOURITE);
    EXPECT_EQ(count.unqueryable, 7u);
    EXPECT_EQ(count.added, 2u);
    ASSERT_EQ(table.table.Size(), 2u);
    EXPECT_EQ(table.ClaimAll(100), 2u);
    EXPECT_EQ(FirstOctet(table[0].addr), 127);
    EXPECT_EQ(FirstOctet(table[1].addr), 223);
}

TEST(RunTable, IgnoresATrailingFragment) {
    Table table;
    EXPECT_EQ(table.Merge({1, 2, 3, 4, 5}).added, 0u);
    EXPECT_EQ(table.Merge({}).added, 0u);
    std::vector<unsigned char> thirteen = Join({Entry(1, 1, 1, 1, 0, 1), Entry(2, 2, 2, 2, 0, 2)});
    thirteen.push_back(0xFF);
    EXPECT_EQ(table.Merge(thirteen).added, 2u);
    EXPECT_EQ(table.table.Size(), 2u);
}

// A run holds memory only for the servers it has asked: a record is made at a server's first claim, zeroed but for
// its address, port, sources and the claim.
TEST(RunTable, MakesARecordAtEachServersFirstClaim) {
    Table table;
    std::vector<unsigned char> body;
    // 65,534 bytes: 10,922 entries, all distinct, plus a 2-byte fragment: the largest body a download keeps.
    for (uint32_t i = 0; i < 10922; ++i) {
        auto entry = Entry(10, static_cast<unsigned char>(i >> 8), static_cast<unsigned char>(i), 1, 0x6D, 0x26);
        body.insert(body.end(), entry.begin(), entry.end());
    }
    body.push_back(1);
    body.push_back(2);
    EXPECT_EQ(table.Merge(body).added, 10922u);
    EXPECT_EQ(table.table.Records()->size(), 0u);
    EXPECT_EQ(table.table.ClaimQuery(0, 3, 500).outcome, ClaimOutcome::Send);
    EXPECT_EQ(table.table.ClaimQuery(1, 3, 500).outcome, ClaimOutcome::Send);
    EXPECT_EQ(table.table.Records()->size(), 2u);
    EXPECT_EQ(table.table.ClaimQuery(5, 3, 500).outcome, ClaimOutcome::NoMemory) << "servers are claimed in order";

    const ServerRecord& record = table[1];
    ServerRecord expected{};
    expected.addr = record.addr;
    expected.port = record.port;
    expected.sources = MasterSource(0);
    expected.queryTime = 500;
    expected.attempts = 1;
    EXPECT_EQ(std::memcmp(&record, &expected, sizeof record), 0);
}

TEST(RunTable, ALimitTurnsNewServersAwayButStillRecordsSourcesOfKnownOnes) {
    Table table(false, 2);
    std::vector<unsigned char> body =
        Join({Entry(1, 0, 0, 1, 0, 1), Entry(1, 0, 0, 2, 0, 1), Entry(1, 0, 0, 3, 0, 1), Entry(1, 0, 0, 4, 0, 1)});
    MergeCount count = table.Merge(body, MasterSource(1));
    EXPECT_EQ(count.added, 2u);
    EXPECT_EQ(count.refused, 2u);
    count = table.Merge(std::vector<unsigned char>(body.begin(), body.begin() + 12), SOURCE_FAVOURITE);
    EXPECT_EQ(count.refused, 0u) << "known servers are not refused";
    EXPECT_EQ(table.table.ServersNamedBy(SOURCE_FAVOURITE).size(), 2u);
}

// A server is asked until it answers, at most as often as the pass allows, and its reply is taken once, from its
// own address and port, and only after its query.
TEST(RunTable, ClaimsQueriesAndAcceptsEachReplyOnce) {
    Table table;
    table.Merge(Join({Entry(1, 0, 0, 1, 0, 1), Entry(1, 0, 0, 2, 0, 1), Entry(1, 0, 0, 3, 0, 1)}));
    EXPECT_TRUE(table.table.AnyToRetry(1)) << "never asked";
    ASSERT_EQ(table.table.ClaimQuery(0, 3, 1000).outcome, ClaimOutcome::Send);
    int32_t index = -1;
    uint32_t queryTime = 0;
    ListEntry second = ReadListEntry(Entry(1, 0, 0, 2, 0, 1).data());
    table.table.ClaimQuery(1, 3, 1000);
    EXPECT_EQ(table.table.AcceptReply(second.addr, 2, ReplyReading{1010, true, false}, &index, &queryTime), nullptr)
        << "another port";
    ServerRecord* record = table.Accept(0, 1042);
    ASSERT_NE(record, nullptr);
    EXPECT_EQ(record->answered, 1);
    EXPECT_EQ(table.Accept(0, 1050), nullptr) << "taken once";
    EXPECT_EQ(table.table.Answered(), 1);

    QueryClaim again = table.table.ClaimQuery(1, 3, 2000);
    EXPECT_EQ(again.outcome, ClaimOutcome::Send);
    EXPECT_EQ(again.attempt, 2);
    EXPECT_EQ(table.table.ClaimQuery(0, 3, 2000).outcome, ClaimOutcome::Skip) << "answered";
    EXPECT_EQ(table.table.ClaimQuery(1, 2, 3000).outcome, ClaimOutcome::Skip) << "asked enough";
    EXPECT_EQ(table.table.ClaimQuery(2, 1, 3000).attempt, 1);
    EXPECT_TRUE(table.table.AnyToRetry(3));
    EXPECT_FALSE(table.table.AnyToRetry(1));
    EXPECT_FALSE(table.table.AllAnswered());
    ASSERT_NE(table.Accept(1, 3010), nullptr);
    ASSERT_NE(table.Accept(2, 3020), nullptr);
    EXPECT_TRUE(table.table.AllAnswered());
    EXPECT_FALSE(table.table.AnyToRetry(3));
}

// The in-flight window lives as long as the run: a pass started for servers that arrive while the last replies are
// awaited still counts the queries in flight, and keeps the reply time the window has learnt.
TEST(RunTable, KeepsItsQueriesInFlightAndTheLearntReplyTimeAcrossPasses) {
    Table table(true);
    std::vector<unsigned char> body;
    for (uint32_t i = 0; i < 2000; ++i) {
        auto entry = Entry(10, 1, static_cast<unsigned char>(i >> 8), static_cast<unsigned char>(i), 0x6D, 0x26);
        body.insert(body.end(), entry.begin(), entry.end());
    }
    table.Merge(std::vector<unsigned char>(body.begin(), body.begin() + 6 * 300));
    EXPECT_EQ(table.ClaimAll(100), static_cast<size_t>(IN_FLIGHT_LIMIT));
    // Servers that arrive now are asked by a pass of their own: the queries of the first are still in flight.
    table.Merge(std::vector<unsigned char>(body.begin() + 6 * 300, body.begin() + 6 * 310));
    EXPECT_EQ(table.table.ClaimQuery(300, 1, 101).outcome, ClaimOutcome::NoRoom);

    // Replies 100 ms after their queries teach the window to hold 1,600 in flight.
    for (size_t i = 0; i < static_cast<size_t>(IN_FLIGHT_LIMIT); ++i) {
        ASSERT_NE(table.Accept(i, 200), nullptr);
    }
    table.Merge(std::vector<unsigned char>(body.begin() + 6 * 310, body.end()));
    size_t sent = 0;
    for (size_t i = static_cast<size_t>(IN_FLIGHT_LIMIT); i < table.table.Size(); ++i) {
        sent += table.table.ClaimQuery(i, 1, 210).outcome == ClaimOutcome::Send ? 1 : 0;
    }
    EXPECT_GT(sent, 1000u) << "the learnt reply time was kept";
    EXPECT_LT(sent, 2000u - static_cast<size_t>(IN_FLIGHT_LIMIT)) << "the window still has a limit";
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

} // namespace

TEST(SourceLines, NamesEachSourceMastersFirstInIndexOrder) {
    const std::vector<std::u16string> names = {u"http://127.0.0.1", u"master.example.net"};
    EXPECT_EQ(SourceLines(MasterSource(0), names), (std::vector<std::u16string>{u"Master: http://127.0.0.1"}));
    EXPECT_EQ(SourceLines(SOURCE_LAN | SOURCE_RECENT | SOURCE_REMEMBERED | MasterSource(11) | SOURCE_FAVOURITE |
                              MasterSource(1),
                          names),
              (std::vector<std::u16string>{u"Master: master.example.net", u"Master 12", u"Favourite",
                                           u"Remembered list", u"Recently played", u"LAN"}));
    EXPECT_TRUE(SourceLines(0, names).empty());
    EXPECT_TRUE(SourceLines(SourceSet{1} << 31, {}).empty()); // no source has that bit
}
