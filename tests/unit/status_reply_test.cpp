#include "core/protocol/info_pairs.h"
#include "core/protocol/status_reply.h"
#include "core/run/datagram_socket.h"
#include "core/run/query_pacing.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "latin1.h"

namespace {

std::u16string U16(const std::string& narrow) {
    std::u16string wide;
    for (unsigned char c : narrow) {
        wide += static_cast<char16_t>(c);
    }
    return wide;
}

// A freshly zeroed record with the reply parsed into it, the datagram stored with a zero byte after it.
std::unique_ptr<ServerRecord> Parse(const std::string& datagram) {
    std::vector<char> bytes(datagram.begin(), datagram.end());
    bytes.push_back(0);
    auto record = std::make_unique<ServerRecord>();
    ParseStatusText(bytes.data(), static_cast<int>(datagram.size()), DecodeLatin1, *record);
    return record;
}

// A literal with its embedded zero bytes.
template <size_t N> std::string Bytes(const char (&literal)[N]) {
    return std::string(literal, N - 1);
}

std::string Reply(const std::string& info, const std::string& players = "") {
    return "\xff\xff\xff\xffprint\n" + info + "\n" + players;
}

std::vector<std::string> ReadAll(const std::string& data) {
    const char* position = data.data();
    int remaining = static_cast<int>(data.size());
    std::vector<std::string> lines;
    char line[STATUS_LINE_SIZE];
    while (ReadLine(position, remaining, line)) {
        lines.emplace_back(line);
        EXPECT_GE(remaining, 0);
    }
    EXPECT_EQ(position, data.data() + data.size());
    return lines;
}

TEST(StatusQuery, IsTheTwelveByteStatusDatagram) {
    ASSERT_EQ(STATUS_QUERY_SIZE, 12u);
    EXPECT_EQ(std::memcmp(STATUS_QUERY, "\xff\xff\xff\xffstatus\n\0", 12), 0);
}

TEST(ReadLine, SplitsAtLineFeedsKeepingCarriageReturns) {
    EXPECT_EQ(ReadAll("a\r\nb\n\nc\n"), (std::vector<std::string>{"a\r", "b", "", "c"}));
    // The tail after the last line feed is a line of its own; nothing is left over.
    EXPECT_EQ(ReadAll("a\ntail"), (std::vector<std::string>{"a", "tail"}));
    EXPECT_TRUE(ReadAll("").empty());
}

TEST(ReadLine, CutsAtZeroBytesAndAfter2047CharactersButConsumesTheWholeLine) {
    std::string withZero = Bytes("ab\0cd\nnext\n");
    EXPECT_EQ(ReadAll(withZero), (std::vector<std::string>{"ab", "next"}));

    std::string longLine(3000, 'x');
    auto lines = ReadAll(longLine + "\nnext\n");
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], std::string(2047, 'x'));
    EXPECT_EQ(lines[1], "next");
}

TEST(ReadLine, ReturnsNothingWhenNothingIsLeft) {
    const char* data = "x\n";
    const char* position = data;
    char line[STATUS_LINE_SIZE] = "untouched";
    int remaining = 0;
    EXPECT_FALSE(ReadLine(position, remaining, line));
    remaining = -5;
    EXPECT_FALSE(ReadLine(position, remaining, line));
    EXPECT_EQ(position, data);
    EXPECT_STREQ(line, "untouched");
}

TEST(ParseDecimal, ReadsLeadingDigitsLikeTheCLibrary) {
    EXPECT_EQ(ParseDecimal("8"), 8);
    EXPECT_EQ(ParseDecimal(" \t-12abc"), -12);
    EXPECT_EQ(ParseDecimal("+7"), 7);
    EXPECT_EQ(ParseDecimal("abc"), 0);
    EXPECT_EQ(ParseDecimal("- 5"), 0);
    EXPECT_EQ(ParseDecimal(""), 0);
    EXPECT_EQ(ParseDecimal("2147483647"), INT32_MAX);
    EXPECT_EQ(ParseDecimal("99999999999999999999999"), INT32_MAX);
    EXPECT_EQ(ParseDecimal("-2147483648"), INT32_MIN);
    EXPECT_EQ(ParseDecimal("-99999999999999999999999"), INT32_MIN);
}

TEST(ParseStatusText, PairsInfoTokensIgnoringKeyCaseAndEmptyTokens) {
    auto record = Parse(Reply("\\HostName\\My Server\\maxclients\\8"));
    EXPECT_EQ(std::u16string(record->hostname), u"My Server");
    EXPECT_EQ(record->maxClients, 8);

    // An empty value vanishes, so the next key becomes the value and the pairing shifts.
    record = Parse(Reply("\\hostname\\\\mapname\\q2dm1"));
    EXPECT_EQ(std::u16string(record->hostname), u"mapname");
    EXPECT_EQ(std::u16string(record->mapname), u"?");

    // The last occurrence wins; unknown keys are skipped; leading and trailing backslashes give no token.
    record = Parse(Reply("\\\\mapname\\a\\cheats\\0\\MAPNAME\\b\\\\"));
    EXPECT_EQ(std::u16string(record->mapname), u"b");

    // A key is compared by its first 63 characters only: nothing longer can match.
    record = Parse(Reply("\\hostname" + std::string(60, 'x') + "\\bad\\timelimit\\20"));
    EXPECT_EQ(std::u16string(record->hostname), u"");
    EXPECT_EQ(record->timelimit, 20);
}

TEST(ParseStatusText, AbsentValuesTakeTheirDefaults) {
    auto record = Parse("\xff\xff\xff\xffprint");
    EXPECT_EQ(std::u16string(record->mapname), u"?");
    EXPECT_EQ(std::u16string(record->gamename), u"default");
    EXPECT_EQ(std::u16string(record->hostname), u"");
    EXPECT_EQ(std::u16string(record->version), u"");
    EXPECT_EQ(std::u16string(record->gamedate), u"");
    EXPECT_EQ(record->maxClients, 0);
    EXPECT_EQ(record->anticheat, 0);
    EXPECT_EQ(record->timelimit, 0);
    EXPECT_EQ(record->playerCount, 0);

    // An absent gamedate leaves what the record held.
    record = std::make_unique<ServerRecord>();
    std::memcpy(record->gamedate, u"kept", sizeof u"kept");
    std::string reply = Reply("\\hostname\\x");
    ParseStatusText(reply.c_str(), static_cast<int>(reply.size()), DecodeLatin1, *record);
    EXPECT_EQ(std::u16string(record->gamedate), u"kept");
}

TEST(ParseStatusText, ReadsTheRealServersReply) {
    auto record = Parse(Reply("\\cheats\\0\\deathmatch\\1\\gamedate\\Dec  7 2026\\gamename\\baseq2\\hostname\\Real "
                              "Test\\mapname\\test\\maxclients\\8\\anticheat\\2\\timelimit\\20\\version\\8.71pre "
                              "x86_64 Dec  7 2026 Linux",
                              "0 52 \"Alice\"\n-1 121 \"Bob\"\n0 1 \"Carol Space\"\n"));
    EXPECT_EQ(std::u16string(record->hostname), u"Real Test");
    EXPECT_EQ(std::u16string(record->mapname), u"test");
    EXPECT_EQ(std::u16string(record->gamename), u"baseq2");
    EXPECT_EQ(std::u16string(record->gamedate), u"Dec  7 2026");
    EXPECT_EQ(std::u16string(record->version), u"8.71pre x86_64 Dec  7 2026 Linux");
    EXPECT_EQ(record->maxClients, 8);
    EXPECT_EQ(record->anticheat, 2);
    EXPECT_EQ(record->timelimit, 20);
    ASSERT_EQ(record->playerCount, 3);
    EXPECT_EQ(std::u16string(record->players[1].name), u"Bob");
    EXPECT_EQ(record->players[1].score, -1);
    EXPECT_EQ(record->players[1].ping, 121);
    EXPECT_EQ(std::u16string(record->players[2].name), u"Carol Space");
}

TEST(ParseStatusText, CutsLongValuesToTheirFields) {
    auto record = Parse(Reply("\\hostname\\" + std::string(400, 'h') + "\\gamename\\" + std::string(100, 'g'),
                              "1 2 \"" + std::string(40, 'n') + "\"\n"));
    EXPECT_EQ(std::u16string(record->hostname), std::u16string(255, u'h'));
    EXPECT_EQ(std::u16string(record->gamename), std::u16string(63, u'g'));
    EXPECT_EQ(std::u16string(record->players[0].name), std::u16string(31, u'n'));
}

TEST(ParseStatusText, KeepsTheInfoLineAsItCameCutTo511Bytes) {
    std::string info = "\\hostname\\A \xe9\\\\mapname\\q2dm1\\";
    auto record = Parse(Reply(info, "0 5 \"p\"\n"));
    EXPECT_EQ(std::string(record->infoText), info);

    std::string longInfo = "\\hostname\\" + std::string(700, 'h');
    record = Parse(Reply(longInfo));
    EXPECT_EQ(std::string(record->infoText), longInfo.substr(0, INFO_TEXT_SIZE - 1));

    // A reply without an info line leaves none of the previous reply's behind.
    std::string bare = "\xff\xff\xff\xffprint";
    ParseStatusText(bare.c_str(), static_cast<int>(bare.size()), DecodeLatin1, *record);
    EXPECT_STREQ(record->infoText, "");
}

TEST(ReadInfoPairs, GivesEveryPairInOrderAsTheColumnsReadThem) {
    using Pairs = std::vector<std::pair<std::u16string, std::u16string>>;
    const struct {
        std::string line;
        Pairs pairs;
    } cases[] = {
        {"\\b\\2\\a\\1\\b\\3", {{u"b", u"2"}, {u"a", u"1"}, {u"b", u"3"}}}, // order and repeats kept
        {"a\\1", {{u"a", u"1"}}},                                           // no leading backslash
        {"", {}},
        {"\\\\\\", {}},
        // Runs of backslashes are one separator: no empty key or value, the pairing shifts as for the columns.
        {"\\\\\\a\\1", {{u"a", u"1"}}},
        {"\\hostname\\\\mapname\\q2dm1", {{u"hostname", u"mapname"}, {u"q2dm1", u""}}},
        {"\\a\\1\\tail", {{u"a", u"1"}, {u"tail", u""}}}, // a key the line ends without a value
        {"\\a\\1\\\\\\", {{u"a", u"1"}}},                 // backslashes at the end
        {"\\n\xe9\\\xff\x80 x", {{U16("n\xe9"), U16("\xff\x80 x")}}},
    };
    for (const auto& c : cases) {
        Pairs read;
        for (const InfoPair& pair : ReadInfoPairs(c.line.c_str(), DecodeLatin1)) {
            read.emplace_back(pair.key, pair.value);
        }
        EXPECT_EQ(read, c.pairs) << c.line;
    }

    // An overlong key or value stays whole up to what a record keeps, and beyond that is cut.
    std::string key(300, 'k');
    auto record = Parse(Reply("\\" + key + "\\v\\hostname\\x"));
    auto pairs = ReadInfoPairs(record->infoText, DecodeLatin1);
    ASSERT_EQ(pairs.size(), 2u);
    EXPECT_EQ(pairs[0].key, U16(key));
    EXPECT_EQ(pairs[1].value, std::u16string(record->hostname));
    pairs = ReadInfoPairs(("\\" + std::string(900, 'k') + "\\" + std::string(900, 'v')).c_str(), DecodeLatin1);
    ASSERT_EQ(pairs.size(), 1u);
    EXPECT_EQ(pairs[0].key, std::u16string(INFO_TEXT_SIZE - 1, u'k'));
    EXPECT_EQ(pairs[0].value, std::u16string(INFO_TEXT_SIZE - 1, u'v'));
}

TEST(CutGameDate, KeepsAtMostThreeWords) {
    struct Case {
        std::u16string in, out;
    } cases[] = {
        {u"Nov 30 97 12:00:00", u"Nov 30 97"},
        {u"Nov 30", u"Nov 30"},
        {u" Nov 30 97", u" Nov 30"},
        {u"Dec  7 2026 x", u"Dec  7 2026"},
        {u"a\tb\rc\vd", u"a\tb\rc"},
        {u"", u""},
        {u"a b c ", u"a b c "},
        {u"   ", u"   "},
    };
    for (const Case& c : cases) {
        char16_t text[SHORT_INFO_SIZE] = {};
        std::memcpy(text, c.in.c_str(), (c.in.size() + 1) * sizeof(char16_t));
        CutGameDate(text);
        EXPECT_EQ(std::u16string(text), c.out) << std::string(c.in.begin(), c.in.end());
    }
}

TEST(ParseStatusText, ReadsPlayerLinesWithAndWithoutQuotes) {
    auto record = Parse(Reply("\\maxclients\\8", "12 50 \"Bob\"\n"
                                                 "12 50\n"
                                                 "12 50 Bob Smith\n"
                                                 "12\n"
                                                 "\n"
                                                 "   \n"
                                                 "3 4  \"Spaced\"\n"
                                                 "  -5   6 \"\"Quoted\"tail\n"
                                                 "x y \"\xe9t\xe9\"\r\n"
                                                 "7 8 \"last\""));
    struct Expected {
        int32_t score, ping;
        std::u16string name;
    } expected[] = {
        {12, 50, u"Bob"},         {12, 50, u""},   {12, 50, u"Bob Smith"}, {3, 4, u" "}, {-5, 6, u"Quoted"},
        {0, 0, U16("\xe9t\xe9")}, {7, 8, u"last"},
    };
    ASSERT_EQ(record->playerCount, static_cast<int32_t>(std::size(expected)));
    for (size_t i = 0; i < std::size(expected); ++i) {
        EXPECT_EQ(record->players[i].score, expected[i].score) << i;
        EXPECT_EQ(record->players[i].ping, expected[i].ping) << i;
        EXPECT_EQ(std::u16string(record->players[i].name), expected[i].name) << i;
    }
}

TEST(ParseStatusText, StoresAtMost64Players) {
    std::string players;
    for (int i = 0; i < 100; ++i) {
        players += std::to_string(i) + " 10 \"p" + std::to_string(i) + "\"\n";
    }
    auto record = Parse(Reply("\\maxclients\\128", players));
    ASSERT_EQ(record->playerCount, MAX_PLAYERS);
    EXPECT_EQ(std::u16string(record->players[63].name), u"p63");
    EXPECT_EQ(record->players[63].score, 63);
}

TEST(ParseStatusText, ZeroBytesEndALineButNotTheReply) {
    std::string reply = Reply(Bytes("\\hostname\\ab\0cd\\mapname\\x"), Bytes("1 2 \"A\0B\"\n3 4 \"C\""));
    auto record = Parse(reply);
    EXPECT_EQ(std::u16string(record->hostname), u"ab");
    EXPECT_EQ(std::u16string(record->mapname), u"?");
    ASSERT_EQ(record->playerCount, 2);
    EXPECT_EQ(std::u16string(record->players[0].name), u"A");
    EXPECT_EQ(std::u16string(record->players[1].name), u"C");
}

TEST(ElapsedMs, IsCorrectAcrossTheClockWrap) {
    EXPECT_EQ(ElapsedMs(100, 142), 42u);
    EXPECT_EQ(ElapsedMs(0xFFFFFFFFu - 9, 32), 42u);
}

} // namespace

TEST(QueryPacing, IsTheTruncatedIntervalWithRatesBelowOneTakenAsOne) {
    const struct {
        int32_t rate;
        uint32_t ms;
    } cases[] = {{10, 100}, {3, 333}, {7, 142}, {1000, 1}, {1001, 0}, {100000, 0}, {1, 1000}, {0, 1000}, {-5, 1000}};
    for (const auto& c : cases) {
        EXPECT_EQ(PacingIntervalMs(c.rate), c.ms) << c.rate;
    }
}
