#include "core/mods/mod_filter_text.h"

#include <gtest/gtest.h>

#include "core/display/mod_filter_rule.h"
#include "core/protocol/status_reply.h"

#include <string>
#include <utility>
#include <vector>

namespace {

using Pairs = std::vector<std::pair<std::u16string, std::u16string>>;

// Splits a copy of `text` with room for `capacity` pairs.
struct Split {
    bool accepted;
    Pairs pairs;
};

Split SplitText(std::u16string text, size_t capacity = 63) {
    std::vector<ModFilterPair> stored(capacity + 1, ModFilterPair{nullptr, nullptr});
    size_t count = 99;
    bool accepted = SplitModFilterText(text.data(), stored.data(), capacity, count);
    Split result{accepted, {}};
    for (size_t i = 0; i < count; ++i) {
        result.pairs.emplace_back(stored[i].name, stored[i].dir);
    }
    EXPECT_EQ(stored[capacity].name, nullptr) << "nothing stored past the capacity";
    return result;
}

TEST(ModFilterText, PairsNamesWithDirectoriesInTextOrder) {
    Split split = SplitText(u"Action Quake II\naction\nCTF\nctf");
    EXPECT_TRUE(split.accepted);
    EXPECT_EQ(split.pairs, (Pairs{{u"Action Quake II", u"action"}, {u"CTF", u"ctf"}}));
}

TEST(ModFilterText, RunsOfLineFeedsAndFeedsAtEitherEndSeparateLikeOne) {
    Split split = SplitText(u"\n\nCTF\n\n\nctf\nTDM / Duel \u2013 K\u00f6ln\ntdm\n\n");
    EXPECT_TRUE(split.accepted);
    EXPECT_EQ(split.pairs, (Pairs{{u"CTF", u"ctf"}, {u"TDM / Duel \u2013 K\u00f6ln", u"tdm"}}));
}

TEST(ModFilterText, CarriageReturnsStayInNamesAndDirectories) {
    Split split = SplitText(u"CTF\r\nctf\r\n");
    EXPECT_TRUE(split.accepted);
    EXPECT_EQ(split.pairs, (Pairs{{u"CTF\r", u"ctf\r"}}));
}

TEST(ModFilterText, AnOddNumberOfLinesRejectsTheWholeText) {
    Split split = SplitText(u"CTF\nctf\nJump\n\n");
    EXPECT_FALSE(split.accepted);
    EXPECT_TRUE(split.pairs.empty());
}

TEST(ModFilterText, NothingButLineFeedsIsAValidListOfNoPairs) {
    EXPECT_TRUE(SplitText(u"\n\n").accepted);
    EXPECT_TRUE(SplitText(u"\n\n").pairs.empty());
    EXPECT_TRUE(SplitText(u"").accepted);
}

TEST(ModFilterText, PairsBeyondTheCapacityAreLeftOutButAnOddTailStillRejects) {
    std::u16string text;
    for (int i = 0; i < 5; ++i) {
        text += u"name" + std::u16string(1, char16_t(u'0' + i)) + u"\ndir\n";
    }
    Split split = SplitText(text, 3);
    EXPECT_TRUE(split.accepted);
    ASSERT_EQ(split.pairs.size(), 3u);
    EXPECT_EQ(split.pairs[2].first, u"name2");
    EXPECT_FALSE(SplitText(text + u"orphan", 3).accepted);
}

// Masters 0 and 2 are web masters (their lists are per mod filter); 1 is a classic UDP master.
TEST(ModFilterRule, OnlyServersNamedByNoWebMasterAreMatchedByTheirGame) {
    const SourceSet WEB = MasterSource(0) | MasterSource(2);
    const struct {
        const char16_t* filterDir;
        SourceSet sources;
        const char16_t* gamename;
        bool shown;
    } CASES[] = {
        {u"ctf", MasterSource(1), u"ctf", true},
        {u"ctf", MasterSource(1), u"CTF", true},
        {u"CTF", SOURCE_FAVOURITE, u"ctf", true},
        {u"ctf", MasterSource(1), u"action", false},
        {u"ctf", SOURCE_FAVOURITE | SOURCE_REMEMBERED, u"ctfx", false},
        {u"ctf", MasterSource(2), u"action", true}, // a web master listed it for this filter
        {u"ctf", MasterSource(1) | MasterSource(0), u"action", true},
        {u"", MasterSource(1), u"action", true},               // "(No Filter)"
        {u"baseq2", SOURCE_REMEMBERED, GAMENAME_ABSENT, true}, // no gamename: the base game
        {u"BaseQ2", MasterSource(1), u"", true},
        {u"ctf", MasterSource(1), GAMENAME_ABSENT, false},
        {u"default", MasterSource(1), GAMENAME_ABSENT, false},
        {u"Default", SOURCE_FAVOURITE, u"DEFAULT", true}, // a server that names its game "DEFAULT"
        {u"baseq2", MasterSource(1), u"baseq2", true},
        {u"ctf", SOURCE_LAN, u"CTF", true}, // a LAN server by its reply's game, as a classic master's
        {u"ctf", SOURCE_LAN, u"action", false},
        {u"ctf", SOURCE_LAN | MasterSource(2), u"action", true},
    };
    for (size_t i = 0; i < sizeof CASES / sizeof CASES[0]; ++i) {
        const auto& c = CASES[i];
        EXPECT_EQ(ShowsUnderModFilter(c.filterDir, c.sources, WEB, c.gamename), c.shown) << "case " << i;
    }
}

} // namespace
