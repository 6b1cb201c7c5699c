#include "core/display/buddy_match.h"

#include <gtest/gtest.h>

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
