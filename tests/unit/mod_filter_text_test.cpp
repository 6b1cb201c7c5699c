#include "master/mod_filter_text.h"

#include <gtest/gtest.h>

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

} // namespace
