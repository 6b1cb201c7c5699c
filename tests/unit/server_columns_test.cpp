#include "core/display/server_columns.h"
#include "core/display/server_rows.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <numeric>
#include <random>
#include <string>
#include <vector>

namespace {

int Sign(int value) {
    return (value > 0) - (value < 0);
}

uint32_t Address(unsigned char a, unsigned char b, unsigned char c, unsigned char d) {
    unsigned char octets[4] = {a, b, c, d};
    uint32_t addr;
    std::memcpy(&addr, octets, sizeof addr);
    return addr;
}

void SetText(char16_t* field, const std::u16string& text) {
    std::memcpy(field, text.c_str(), (text.size() + 1) * sizeof(char16_t));
}

TEST(ServerColumns, SharesAddUpAndPingIsTheDefaultSortColumn) {
    int total = 0;
    for (const ColumnSpec& column : ServerColumns) {
        total += column.widthPercent;
    }
    EXPECT_EQ(total, 100);
    EXPECT_EQ(PingColumn(), 6);
}

TEST(OsIconFromVersion, TakesTheFirstMatchingRuleIgnoringCase) {
    struct Case {
        const char16_t* version;
        int image;
    } cases[] = {
        {u"8.70 x86_64 Mar  1 2025 LINUX", IMAGE_LINUX},
        {u"linux build for Win32", IMAGE_LINUX},
        {u"3.20 x86 Dec 21 1998 Win32 RELEASE", IMAGE_WINDOWS},
        {u"q2pro r3000 MinGW", IMAGE_WINDOWS},
        {u"built with MSVC", IMAGE_WINDOWS},
        {u"darwin ppc", IMAGE_WINDOWS}, // "win" inside another word comes before "ppc"
        {u"FreeBSD 13", IMAGE_FREEBSD},
        {u"Mac OSX", IMAGE_APPLE},
        {u"3.20 PPC", IMAGE_APPLE},
        {u"", IMAGE_COMPUTER},
        {u"3.20 x86 Solaris", IMAGE_COMPUTER},
        {u"lin ux wi n", IMAGE_COMPUTER},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(OsIconFromVersion(c.version), c.image);
    }
}

TEST(PingImage, UsesUnsignedBoundaries) {
    EXPECT_EQ(PingImage(100, 100, 200), IMAGE_PING_GOOD);
    EXPECT_EQ(PingImage(101, 100, 200), IMAGE_PING_MEDIUM);
    EXPECT_EQ(PingImage(200, 100, 200), IMAGE_PING_MEDIUM);
    EXPECT_EQ(PingImage(201, 100, 200), IMAGE_PING_BAD);
    // A medium threshold below the good one: everything above good is bad.
    EXPECT_EQ(PingImage(60, 100, 50), IMAGE_PING_GOOD);
    EXPECT_EQ(PingImage(101, 100, 50), IMAGE_PING_BAD);
    // Negative thresholds compare as huge unsigned numbers.
    EXPECT_EQ(PingImage(5000, -1, -1), IMAGE_PING_GOOD);
    EXPECT_EQ(PingImage(5000, 0, -1), IMAGE_PING_MEDIUM);
}

TEST(SortValues, InvalidValuesFallBackToThePingColumn) {
    EXPECT_EQ(ValidSortValue(2), 2);
    EXPECT_EQ(ValidSortValue(2 | SORT_REVERSED), 2 | SORT_REVERSED);
    EXPECT_EQ(ValidSortValue(7), 6);
    EXPECT_EQ(ValidSortValue(7 | SORT_REVERSED), 6);
    EXPECT_EQ(ValidSortValue(0x8002), 6);
    EXPECT_EQ(ValidSortValue(-1), 6);

    EXPECT_EQ(NextSortValue(3, 6), 3);
    EXPECT_EQ(NextSortValue(3, 3), 3 | SORT_REVERSED);
    EXPECT_EQ(NextSortValue(3, 3 | SORT_REVERSED), 3);
    // A stored value that names no column sorts as the ping column, so a click on Ping reverses it.
    EXPECT_EQ(NextSortValue(6, 0x1234), 6 | SORT_REVERSED);
}

class CompareServerRecordsTest : public testing::Test {
protected:
    std::unique_ptr<ServerRecord> a = std::make_unique<ServerRecord>();
    std::unique_ptr<ServerRecord> b = std::make_unique<ServerRecord>();

    int Compare(int32_t sortValue) { return Sign(CompareServerRecords(*a, *b, sortValue)); }
};

TEST_F(CompareServerRecordsTest, TextColumnsIgnoreTheCaseOfAToZOnly) {
    SetText(a->hostname, u"alpha");
    SetText(b->hostname, u"BETA");
    EXPECT_EQ(Compare(0), -1);
    EXPECT_EQ(Compare(0 | SORT_REVERSED), 1);
    SetText(b->hostname, u"ALPHA");
    EXPECT_EQ(Compare(0), 0);
    // Beyond ASCII, code units compare as they are.
    SetText(a->mapname, u"\u00e9");
    SetText(b->mapname, u"\u00c9");
    EXPECT_EQ(Compare(2), 1);
    SetText(a->gamename, u"ctf");
    SetText(b->gamename, u"CTF2");
    EXPECT_EQ(Compare(5), -1);
}

TEST_F(CompareServerRecordsTest, NumericColumnsAreSigned) {
    a->playerCount = 3;
    b->playerCount = 10;
    EXPECT_EQ(Compare(3), 1); // fullest first
    EXPECT_EQ(Compare(3 | SORT_REVERSED), -1);
    a->anticheat = -1;
    b->anticheat = 1;
    EXPECT_EQ(Compare(4), -1);
    a->ping = 40;
    b->ping = 300;
    EXPECT_EQ(Compare(6), -1);
    EXPECT_EQ(Compare(6 | SORT_REVERSED), 1);
    b->ping = 40;
    EXPECT_EQ(Compare(6), 0);
    // A value naming no column compares by ping.
    b->ping = 300;
    EXPECT_EQ(Compare(0x7FFF), -1);
}

TEST_F(CompareServerRecordsTest, AddressesSortByOctetsThenPort) {
    a->addr = Address(10, 0, 0, 200);
    b->addr = Address(9, 255, 255, 255);
    EXPECT_EQ(Compare(1), 1);
    b->addr = Address(10, 0, 1, 0);
    EXPECT_EQ(Compare(1), -1);
    b->addr = a->addr;
    a->port = 27910;
    b->port = 27911;
    EXPECT_EQ(Compare(1), -1);
    EXPECT_EQ(Compare(1 | SORT_REVERSED), 1);
    b->port = 27910;
    EXPECT_EQ(Compare(1), 0);
}

TEST(ServerRows, ListedOneByOneTheyStandWhereAStableSortPutsThemAndSayWhere) {
    // Keys with many ties; the rows grow far past the vector's first capacities.
    std::mt19937 random(11);
    std::vector<int> keys(3000);
    for (int& key : keys) {
        key = static_cast<int>(random() % 40);
    }
    auto compare = [&](int32_t a, int32_t b) { return keys[static_cast<size_t>(a)] - keys[static_cast<size_t>(b)]; };
    ServerRows rows;
    for (int32_t index = 0; index < static_cast<int32_t>(keys.size()); ++index) {
        int32_t row = rows.InsertSorted(index, compare);
        ASSERT_EQ(rows.IndexAt(row), index);
        ASSERT_EQ(rows.RowOf(index), row);
    }
    std::vector<int32_t> sorted(keys.size());
    std::iota(sorted.begin(), sorted.end(), 0);
    std::stable_sort(sorted.begin(), sorted.end(), [&](int32_t a, int32_t b) { return compare(a, b) < 0; });
    EXPECT_EQ(rows.Indices(), sorted);

    rows.Assign({5, 4, 3, 2, 1, 0});
    rows.Sort(
        [&](int32_t a, int32_t b) { return keys[static_cast<size_t>(a)] / 100 - keys[static_cast<size_t>(b)] / 100; });
    EXPECT_EQ(rows.Indices(), (std::vector<int32_t>{5, 4, 3, 2, 1, 0})); // all equal: the order stays
    EXPECT_EQ(rows.IndexAt(-1), -1);
    EXPECT_EQ(rows.IndexAt(6), -1);
    EXPECT_EQ(rows.RowOf(6), -1);
}

TEST(FormatServerCell, CutsToTheBufferAndLeavesUnknownColumnsAlone) {
    auto record = std::make_unique<ServerRecord>();
    SetText(record->hostname, u"My Server");
    char16_t small[5];
    std::fill(std::begin(small), std::end(small), u'#');
    ASSERT_TRUE(FormatServerCell(*record, 0, small, 4));
    EXPECT_EQ(std::u16string(small), u"My ");
    EXPECT_EQ(small[4], u'#');

    char16_t untouched[4] = u"abc";
    EXPECT_FALSE(FormatServerCell(*record, 7, untouched, std::size(untouched)));
    EXPECT_FALSE(FormatServerCell(*record, -1, untouched, std::size(untouched)));
    EXPECT_EQ(std::u16string(untouched), u"abc");
}

TEST(ColumnWidths, AreNeverNegativeAndFitSixteenBits) {
    // Widths that would be negative (a minimised window reports 0) are 0; the widest client still fits 16 bits.
    for (int i = 0; i < SERVER_COLUMN_COUNT; ++i) {
        EXPECT_EQ(ServerColumnWidth(i, 0), 0);
        EXPECT_LT(ServerColumnWidth(i, 65535), 65536);
    }
    EXPECT_EQ(PlayerColumnWidth(0, true, 10), 0);
    EXPECT_EQ(PlayerColumnWidth(0, false, 0), 0);
    EXPECT_EQ(InitialColumnWidth(30, 10), 0);
    EXPECT_EQ(InitialColumnWidth(30, 616), 180);
}

} // namespace
