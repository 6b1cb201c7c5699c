#include "core/display/buddy_match.h"
#include "core/display/server_search.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

namespace {

using Names = std::vector<std::u16string>;

// Splits `text` into an array sized by CountBuddyNames, with one guard entry after it that must stay untouched.
Names Split(const std::u16string& text) {
    size_t room = CountBuddyNames(text.c_str());
    std::vector<BuddyName> entries(room + 1);
    entries[room].text[0] = u'#';
    size_t count = SplitBuddyNames(text.c_str(), entries.data(), room);
    EXPECT_EQ(count, room);
    EXPECT_EQ(entries[room].text[0], u'#') << "written past the counted room";
    Names names;
    for (size_t i = 0; i < count; ++i) {
        names.emplace_back(entries[i].text);
    }
    return names;
}

bool Matches(const std::u16string& name, const Names& buddies) {
    std::vector<BuddyName> entries(buddies.size());
    for (size_t i = 0; i < buddies.size(); ++i) {
        buddies[i].copy(entries[i].text, BUDDY_NAME_SIZE - 1);
        entries[i].text[buddies[i].size()] = 0;
    }
    return MatchesBuddy(name.c_str(), entries.data(), entries.size());
}

TEST(BuddyNames, OneEntryPerNonEmptyLineWhateverTheLineEnds) {
    EXPECT_EQ(Split(u"bob\r\nalice\r\n"), (Names{u"bob", u"alice"}));
    EXPECT_EQ(Split(u"\r\n\n\rbob\n\n\r\ncarol"), (Names{u"bob", u"carol"}));
    EXPECT_EQ(Split(u"   \nbob\nbob"), (Names{u"   ", u"bob", u"bob"})) << "nothing trimmed, duplicates kept";
    EXPECT_EQ(Split(u""), Names{});
    EXPECT_EQ(Split(u"\r\n\r\n"), Names{});
}

TEST(BuddyNames, CarriageReturnsAloneSeparateEveryName) {
    std::u16string text;
    Names expected;
    for (int i = 0; i < 500; ++i) {
        expected.push_back(u"n" + std::u16string(1, static_cast<char16_t>(u'A' + i % 26)));
        text += expected.back() + u"\r";
    }
    EXPECT_EQ(Split(text), expected);
}

TEST(BuddyNames, LinesAreCutAtThirtyOneCharacters) {
    std::u16string line(40, u'x');
    line[30] = u'y';
    line[31] = u'z';
    EXPECT_EQ(Split(line + u"\nbob"), (Names{line.substr(0, 31), u"bob"}));

    std::vector<BuddyName> entries(1);
    EXPECT_EQ(SplitBuddyNames(u"abc\ndef", entries.data(), 1), 1u) << "stops at the capacity";
    EXPECT_EQ(std::u16string(entries[0].text), u"abc");
}

TEST(BuddyMatching, WholeNameIgnoresCaseButTheInsideTestDoesNot) {
    for (const char16_t* name : {u"bob", u"BOB", u"xbobx", u"BoB"}) {
        EXPECT_TRUE(Matches(name, {u"bob"})) << std::string(name, name + 3);
    }
    for (const char16_t* name : {u"Bobby", u"xBOBx", u"bo", u""}) {
        EXPECT_FALSE(Matches(name, {u"bob"}));
    }
    EXPECT_FALSE(Matches(u"\u00c4bob", {u"\u00e4BOB"})) << "only A to Z fold";
    EXPECT_TRUE(Matches(u"a  b", {u"zzz", u"  "}));
    EXPECT_FALSE(Matches(u"a b", {u"  "}));
    EXPECT_FALSE(Matches(u"bob", {}));

    std::u16string cut = Split(std::u16string(31, u'k') + u"kkkk")[0];
    EXPECT_TRUE(Matches(u"Q" + std::u16string(31, u'k'), {cut})) << "a cut entry matches longer names";
}

TEST(BuddyMatching, AServerMatchesWhenAnyCountedPlayerDoes) {
    ServerRecord record{};
    std::u16string(u"alice").copy(record.players[0].name, 5);
    std::u16string(u"xbobx").copy(record.players[1].name, 5);
    BuddyName bob = {u"bob"};
    record.playerCount = 1;
    EXPECT_FALSE(HasBuddyAmong(record, &bob, 1));
    record.playerCount = 2;
    EXPECT_TRUE(HasBuddyAmong(record, &bob, 1));
    EXPECT_FALSE(HasBuddyAmong(record, &bob, 0));

    // A name filling its whole field is read no further than the field.
    std::u16string(PLAYER_NAME_SIZE, u'b').copy(record.players[63].name, PLAYER_NAME_SIZE);
    record.players[0].name[0] = u'q';
    record.playerCount = MAX_PLAYERS + 5;
    BuddyName longBob = {u"bbbbbbbbbb"};
    EXPECT_TRUE(HasBuddyAmong(record, &longBob, 1));
}

} // namespace

// Searching the server list: which places of a server hold the typed text, ignoring case across Unicode.
namespace {

std::unique_ptr<ServerRecord> SearchedServer() {
    auto record = std::make_unique<ServerRecord>();
    std::u16string(u"Ärger CTF \u039C\u0391\u03A3").copy(record->hostname, LONG_INFO_SIZE - 1); // ΜΑΣ
    std::u16string(u"q2dm1").copy(record->mapname, LONG_INFO_SIZE - 1);
    std::u16string(u"baseq2").copy(record->gamename, SHORT_INFO_SIZE - 1);
    record->addr = 0x0100007F; // 127.0.0.1
    record->port = 27910;
    const char16_t* names[] = {u"Alice", u"\u0412\u0430\u0441\u044F", u"Alice Cooper"}; // Вася
    for (const char16_t* name : names) {
        std::u16string(name).copy(record->players[record->playerCount++].name, PLAYER_NAME_SIZE - 1);
    }
    return record;
}

TEST(ServerSearch, MatchesEveryPlaceIgnoringCaseAcrossUnicode) {
    auto record = SearchedServer();
    const struct {
        const char16_t* typed;
        uint32_t fields;
        int32_t player;
    } cases[] = {
        {u"ärger", MATCH_HOSTNAME, -1},
        {u"ctf", MATCH_HOSTNAME, -1},
        {u"\u03BC\u03B1\u03C2", MATCH_HOSTNAME, -1}, // μας: the final sigma folds as Σ does
        {u"Q2", MATCH_MAP | MATCH_MOD, -1},
        {u"BASE", MATCH_MOD, -1},
        {u"0.1:2791", MATCH_ADDRESS, -1},
        {u"\u0412\u0410\u0421", MATCH_PLAYER, 1}, // ВАС
        {u"alice", MATCH_PLAYER, 0},
        {u"cooper", MATCH_PLAYER, 2},
        {u"e", MATCH_HOSTNAME | MATCH_MOD | MATCH_PLAYER, 0},
        {u"bob", 0, -1},
        {u"ctf  ", 0, -1},
    };
    for (const auto& c : cases) {
        ServerSearch search = MakeServerSearch(c.typed);
        SearchMatch match = MatchServer(*record, search);
        EXPECT_EQ(match.fields, c.fields) << std::string(c.typed, c.typed + std::char_traits<char16_t>::length(c.typed));
        EXPECT_EQ(match.player, c.player);
        EXPECT_EQ(ServerMatches(*record, search), c.fields != 0);
    }
    EXPECT_EQ(MatchText(*record, MatchServer(*record, MakeServerSearch(u"e"))),
              u"Matched in: host name, mod, player \"Alice\"");
    EXPECT_EQ(MatchText(*record, MatchServer(*record, MakeServerSearch(u"coop"))),
              u"Matched in: player \"Alice Cooper\"");
    EXPECT_EQ(MatchText(*record, MatchServer(*record, MakeServerSearch(u"bob"))), u"");
}

TEST(ServerSearch, OddTypedTextHasAClearOutcome) {
    auto record = SearchedServer();
    EXPECT_FALSE(MakeServerSearch(u"").Active());
    EXPECT_FALSE(MakeServerSearch(u"\t\r\n\u0085\u007F").Active()) << "control characters alone are no search";
    EXPECT_TRUE(ServerMatches(*record, MakeServerSearch(u"\t")));
    EXPECT_EQ(MatchServer(*record, MakeServerSearch(u"")).fields, 0u) << "nothing to say why without a search";
    EXPECT_EQ(MatchServer(*record, MakeServerSearch(u"al\tice")).player, 0) << "control characters left out";

    std::u16string longText(10000, u'x');
    EXPECT_EQ(MakeServerSearch(longText).folded.size(), SEARCH_TEXT_MAX);
    EXPECT_FALSE(ServerMatches(*record, MakeServerSearch(longText)));
    std::u16string(LONG_INFO_SIZE - 1, u'X').copy(record->hostname, LONG_INFO_SIZE - 1);
    EXPECT_TRUE(ServerMatches(*record, MakeServerSearch(longText))) << "as long as a host name can be";

    // Lone surrogates in the typed text and in a name: each matches only itself.
    const char16_t lone[] = {u'a', 0xD800, 0};
    std::u16string(lone).copy(record->players[1].name, PLAYER_NAME_SIZE - 1);
    record->players[1].name[2] = 0;
    EXPECT_EQ(MatchServer(*record, MakeServerSearch(lone)).player, 1);
    EXPECT_FALSE(ServerMatches(*record, MakeServerSearch(std::u16string(1, char16_t(0xDC00)))));
}

} // namespace
