#include "net/server_list_decode.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

// A zero-filled (value-initialised) table with room for a body of the given bytes, decoded.
struct DecodedTable {
    std::vector<ServerRecord> records;
    int32_t count;

    explicit DecodedTable(const std::vector<unsigned char>& body)
        : records(ServerListCapacity(static_cast<uint32_t>(body.size()))) {
        count = DecodeServerList(body.data(), static_cast<uint32_t>(body.size()), records.data());
    }
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

TEST(DecodeServerList, KeepsAddressBytesAndReadsBigEndianPorts) {
    DecodedTable table(Join({Entry(0xC0, 0xA8, 0x00, 0x01, 0x00, 0x50), Entry(10, 0, 0, 2, 0x01, 0x00)}));
    ASSERT_EQ(table.count, 2);
    const unsigned char expected[4] = {0xC0, 0xA8, 0x00, 0x01};
    EXPECT_EQ(std::memcmp(&table.records[0].addr, expected, 4), 0);
    EXPECT_EQ(table.records[0].port, 80);
    EXPECT_EQ(FirstOctet(table.records[1].addr), 10);
    EXPECT_EQ(table.records[1].port, 256);
}

TEST(DecodeServerList, DropsRepeatedPairsKeepingFirstAppearanceOrder) {
    DecodedTable same(Join({Entry(1, 2, 3, 4, 0x6D, 0x26), Entry(1, 2, 3, 4, 0x6D, 0x26)}));
    EXPECT_EQ(same.count, 1);

    // (A, P), (A, Q), (A, P): the same address with another port is another server.
    DecodedTable ports(
        Join({Entry(1, 2, 3, 4, 0, 80), Entry(1, 2, 3, 4, 0, 81), Entry(1, 2, 3, 4, 0, 80), Entry(9, 9, 9, 9, 0, 1)}));
    ASSERT_EQ(ports.count, 3);
    EXPECT_EQ(ports.records[0].port, 80);
    EXPECT_EQ(ports.records[1].port, 81);
    EXPECT_EQ(FirstOctet(ports.records[2].addr), 9);
    EXPECT_EQ(ports.records[3].addr, 0u) << "unused records stay zero";
    EXPECT_EQ(ports.records[3].port, 0);
}

TEST(DecodeServerList, AcceptsZeroAddressAndPort) {
    DecodedTable table(Entry(0, 0, 0, 0, 0, 0));
    ASSERT_EQ(table.count, 1);
    EXPECT_EQ(table.records[0].addr, 0u);
    EXPECT_EQ(table.records[0].port, 0);
}

TEST(DecodeServerList, IgnoresATrailingFragment) {
    std::vector<unsigned char> five = {1, 2, 3, 4, 5};
    DecodedTable fiveBytes(five);
    EXPECT_EQ(ServerListCapacity(5), 0u);
    EXPECT_EQ(fiveBytes.count, 0);

    DecodedTable empty(std::vector<unsigned char>{});
    EXPECT_EQ(empty.count, 0);

    std::vector<unsigned char> thirteen = Join({Entry(1, 1, 1, 1, 0, 1), Entry(2, 2, 2, 2, 0, 2)});
    thirteen.push_back(0xFF);
    DecodedTable thirteenBytes(thirteen);
    ASSERT_EQ(thirteenBytes.count, 2);
    EXPECT_EQ(thirteenBytes.records[1].port, 2);
}

TEST(DecodeServerList, LeavesEveryOtherFieldZero) {
    DecodedTable table(Join({Entry(1, 1, 1, 1, 0, 1), Entry(2, 2, 2, 2, 0, 2)}));
    ASSERT_EQ(table.count, 2);
    for (const ServerRecord& record : table.records) {
        ServerRecord expected{};
        expected.addr = record.addr;
        expected.port = record.port;
        EXPECT_EQ(std::memcmp(&record, &expected, sizeof record), 0);
    }
    EXPECT_EQ(CountUnansweredRecords(table.records.data(), table.count), 2);
}

TEST(DecodeServerList, HandlesTheLargestBodyTheDownloadKeeps) {
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

TEST(CountUnansweredRecords, CountsOnlyRecordsInUseThatHaveNotAnswered) {
    ServerRecord records[4]{};
    records[1].answered = 1;
    records[3].answered = 0;
    EXPECT_EQ(CountUnansweredRecords(records, 3), 2);
    records[0].answered = 1;
    records[2].answered = 1;
    EXPECT_EQ(CountUnansweredRecords(records, 3), 0);
    EXPECT_EQ(CountUnansweredRecords(nullptr, 0), 0);
}

} // namespace
