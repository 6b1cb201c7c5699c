#include "core/display/player_rows.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <string>
#include <vector>

namespace {

PlayerRecord Player(const std::u16string& name, int score, int ping) {
    PlayerRecord player{};
    name.copy(player.name, PLAYER_NAME_SIZE - 1);
    player.score = score;
    player.ping = ping;
    return player;
}

std::u16string Cell(const PlayerRecord& player, int column, size_t size = 64) {
    std::u16string buffer(size, u'#');
    FormatPlayerCell(player, column, buffer.data(), size);
    return buffer.substr(0, buffer.find(u'\0'));
}

TEST(PlayerRows, CellsShowNameScoreAndPingCutToTheBuffer) {
    PlayerRecord player = Player(u"K\u00f6nig", -5, 120);
    EXPECT_EQ(Cell(player, 0), u"K\u00f6nig");
    EXPECT_EQ(Cell(player, 1), u"-5");
    EXPECT_EQ(Cell(player, 2), u"120");
    EXPECT_EQ(Cell(player, 0, 3), u"K\u00f6");
    EXPECT_EQ(Cell(Player(u"x", INT_MIN, 0), 1), u"-2147483648");
    EXPECT_EQ(Cell(player, 3), std::u16string(64, u'#')) << "other columns write nothing";
}

// Sorts by the column as the list view would, stably so ties keep their order.
std::vector<std::u16string> SortedNames(std::vector<PlayerRecord> players, int column) {
    std::stable_sort(players.begin(), players.end(), [column](const PlayerRecord& a, const PlayerRecord& b) {
        return ComparePlayerRecords(a, b, column) < 0;
    });
    std::vector<std::u16string> names;
    for (const PlayerRecord& player : players) {
        names.emplace_back(player.name);
    }
    return names;
}

TEST(PlayerRows, NamesByCodeUnitsScoreHighestFirstPingLowestFirst) {
    std::vector<PlayerRecord> players = {Player(u"bob", 3, 90), Player(u"Bob", INT_MIN, 40),
                                         Player(u"\u00e9mile", INT_MAX, 300), Player(u"bo", -1, -20),
                                         Player(u"Zed", 3, 40)};
    using Names = std::vector<std::u16string>;
    EXPECT_EQ(SortedNames(players, 0), (Names{u"Bob", u"Zed", u"bo", u"bob", u"\u00e9mile"}));
    EXPECT_EQ(SortedNames(players, 1), (Names{u"\u00e9mile", u"bob", u"Zed", u"bo", u"Bob"}));
    EXPECT_EQ(SortedNames(players, 2), (Names{u"bo", u"Bob", u"Zed", u"bob", u"\u00e9mile"}));
    EXPECT_EQ(ComparePlayerRecords(players[0], players[1], 3), 0);
    EXPECT_EQ(ComparePlayerRecords(players[0], players[0], 0), 0);
}

} // namespace
