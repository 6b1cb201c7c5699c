// Buddy alerts: when an appearance of a buddy on a server begins and ends, what the tracker keeps, and the alert's
// text within a balloon's limit.
#include "core/watch/buddy_alert_text.h"
#include "core/watch/buddy_appearances.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

using Names = std::vector<std::u16string>;

std::vector<BuddyName> Entries(const Names& names) {
    std::vector<BuddyName> entries(names.size());
    for (size_t i = 0; i < names.size(); ++i) {
        names[i].copy(entries[i].text, BUDDY_NAME_SIZE - 1);
        entries[i].text[names[i].size()] = 0;
    }
    return entries;
}

std::unique_ptr<ServerRecord> Server(uint32_t addr, const Names& players, const std::u16string& host = u"Server X") {
    auto record = std::make_unique<ServerRecord>();
    record->addr = addr;
    record->port = 27910;
    host.copy(record->hostname, LONG_INFO_SIZE - 1);
    std::u16string(u"q2dm1").copy(record->mapname, LONG_INFO_SIZE - 1);
    for (const std::u16string& name : players) {
        name.copy(record->players[record->playerCount++].name, PLAYER_NAME_SIZE - 1);
    }
    record->maxClients = 16;
    return record;
}

// The players named by the sightings that the replies began, in order.
Names Began(BuddyAppearances& tracker, const std::vector<const ServerRecord*>& replies, const Names& buddies) {
    std::vector<BuddyName> entries = Entries(buddies);
    Names players;
    for (const BuddySighting& sighting : tracker.TakeReplies(replies, entries.data(), entries.size())) {
        players.push_back(sighting.player);
    }
    return players;
}

TEST(BuddyAppearances, BeginOnceAndEndOnlyWithAReplyWithoutTheBuddy) {
    BuddyAppearances tracker;
    auto withBob = Server(1, {u"alice", u"Bob"});
    auto withoutBob = Server(1, {u"alice"});
    auto otherServer = Server(2, {u"carol"});
    const Names buddies{u"bob"};

    EXPECT_EQ(Began(tracker, {withBob.get()}, buddies), Names{u"Bob"}) << "the player's name as the server gives it";
    EXPECT_EQ(Began(tracker, {withBob.get()}, buddies), Names{}) << "still there at the next run";
    EXPECT_EQ(Began(tracker, {}, buddies), Names{}) << "a run that did not hear the server";
    EXPECT_EQ(Began(tracker, {otherServer.get()}, buddies), Names{});
    EXPECT_EQ(Began(tracker, {withBob.get()}, buddies), Names{}) << "other servers' replies end nothing here";
    EXPECT_EQ(Began(tracker, {withoutBob.get()}, buddies), Names{});
    EXPECT_EQ(tracker.Tracked(), 0u);
    EXPECT_EQ(Began(tracker, {withBob.get()}, buddies), Names{u"Bob"}) << "back after a reply without him";

    // The same buddy on another server is another appearance; one delivery tells of each once.
    auto bobElsewhere = Server(3, {u"xBobx"}); // contains "Bob" with exact case, not "bob"
    auto bobAgain = Server(4, {u"BOB"});
    EXPECT_EQ(Began(tracker, {bobElsewhere.get(), bobAgain.get(), bobAgain.get()}, buddies), Names{u"BOB"});
    EXPECT_EQ(Began(tracker, {bobElsewhere.get()}, {u"Bob"}), Names{u"xBobx"});

    // A port is a server of its own.
    auto otherPort = Server(1, {u"bob"});
    otherPort->port = 27911;
    EXPECT_EQ(Began(tracker, {otherPort.get()}, buddies), Names{u"bob"});
}

TEST(BuddyAppearances, AreKeptPerBuddyEntryAndFollowTheBuddyList) {
    BuddyAppearances tracker;
    auto both = Server(1, {u"alice", u"bob", u"carol"});
    auto onlyCarol = Server(1, {u"carol"});

    EXPECT_EQ(Began(tracker, {both.get()}, {u"bob", u"carol"}), (Names{u"bob", u"carol"})) << "in player order too";
    EXPECT_EQ(tracker.Tracked(), 2u);
    EXPECT_EQ(Began(tracker, {onlyCarol.get()}, {u"bob", u"carol"}), Names{}) << "carol's appearance goes on";
    EXPECT_EQ(Began(tracker, {both.get()}, {u"bob", u"carol"}), Names{u"bob"});

    // A new entry of the list begins an appearance at the next reply; a removed one ends with it.
    EXPECT_EQ(Began(tracker, {both.get()}, {u"bob", u"carol", u"alice"}), Names{u"alice"});
    EXPECT_EQ(Began(tracker, {both.get()}, {u"alice"}), Names{});
    EXPECT_EQ(tracker.Tracked(), 1u);
    EXPECT_EQ(Began(tracker, {both.get()}, {u"alice", u"bob"}), Names{u"bob"});

    // Two entries matching one player, or a line given twice, make one sighting and one pair each.
    BuddyAppearances fresh;
    EXPECT_EQ(Began(fresh, {both.get()}, {u"BOB", u"bo", u"bob", u"bob"}), Names{u"bob"});
    EXPECT_EQ(fresh.Tracked(), 3u);

    fresh.Clear();
    EXPECT_EQ(fresh.Tracked(), 0u);
    EXPECT_EQ(Began(fresh, {both.get()}, {u"bob"}), Names{u"bob"}) << "told of again after Clear";
}

TEST(BuddyAppearances, KeepAtMostTheirCapacityForgettingTheServersHeardLongestAgo) {
    BuddyAppearances tracker(3);
    std::vector<std::unique_ptr<ServerRecord>> servers;
    for (uint32_t addr = 1; addr <= 5; ++addr) {
        servers.push_back(Server(addr, {u"bob"}));
    }
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(Began(tracker, {servers[i].get()}, {u"bob"}), Names{u"bob"});
    }
    EXPECT_EQ(Began(tracker, {servers[0].get()}, {u"bob"}), Names{}) << "server 1 heard again: 2 is the oldest";
    EXPECT_EQ(Began(tracker, {servers[3].get()}, {u"bob"}), Names{u"bob"});
    EXPECT_EQ(tracker.Tracked(), 3u);
    EXPECT_EQ(Began(tracker, {servers[0].get(), servers[2].get()}, {u"bob"}), Names{}) << "1 and 3 were kept";
    EXPECT_EQ(Began(tracker, {servers[1].get()}, {u"bob"}), Names{u"bob"}) << "2 was forgotten";
    EXPECT_EQ(tracker.Tracked(), 3u);

    // One server matching more entries than the capacity keeps as many as fit, and only itself.
    auto crowded = Server(9, {u"a1", u"a2", u"a3", u"a4", u"a5"});
    EXPECT_EQ(Began(tracker, {crowded.get()}, {u"a1", u"a2", u"a3", u"a4", u"a5"}), (Names{u"a1", u"a2", u"a3"}));
    EXPECT_EQ(tracker.Tracked(), 3u);
}

BuddySighting Sighting(const std::u16string& player, const std::u16string& host, int32_t players = 7) {
    return BuddySighting{0x0100007F, 27910, player, host, u"q2dm1", players, 16};
}

TEST(BuddyAlertText, NamesTheBuddyTheServerItsMapAndPlayers) {
    BuddyAlert alert = ComposeBuddyAlert({Sighting(u"Bob", u"Server X")});
    EXPECT_EQ(alert.text, u"Bob is playing on Server X (q2dm1, 7/16)");
    EXPECT_EQ(alert.target.addr, 0x0100007Fu);
    EXPECT_EQ(alert.target.port, 27910);
    EXPECT_EQ(alert.target.player, u"Bob");

    alert = ComposeBuddyAlert({Sighting(u"Bob", u"Server X"), Sighting(u"Alice", u"Y", 3)});
    EXPECT_EQ(alert.text, u"Bob is playing on Server X (q2dm1, 7/16); Alice is playing on Y (q2dm1, 3/16)");
    EXPECT_EQ(alert.target.player, u"Bob") << "the first sighting's";
}

TEST(BuddyAlertText, StaysWithinTheLimitCountingTheBuddiesLeftOut) {
    std::u16string host(40, u'h'); // each sighting: 18 + 40 + 14 = 72 characters
    std::vector<BuddySighting> sightings;
    for (const char16_t* name : {u"Ann", u"Ben", u"Cid", u"Dee", u"Eve"}) {
        sightings.push_back(Sighting(name, host));
    }
    std::u16string one = SightingText(sightings[0]);
    ASSERT_EQ(one.size(), 72u);

    const struct {
        size_t count;
        size_t limit;
        std::u16string end; // after the whole sightings shown
        size_t shown;
    } cases[] = {
        {5, 255, u"; and 2 more buddies are playing", 3}, // 3*72 + 4 + 32 = 252
        {4, 255, u"; and 1 more buddy is playing", 3},    // 3*72 + 4 + 29 = 249
        {3, 220, u"", 3},                                 // 3*72 + 4 = 220, exactly the limit
        {3, 219, u"; and 1 more buddy is playing", 2},
        {2, 101, u"; and 1 more buddy is playing", 1}, // 72 + 29; at 100 the host would be cut
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.limit);
        std::vector<BuddySighting> these(sightings.begin(), sightings.begin() + static_cast<long>(c.count));
        std::u16string text = ComposeBuddyAlert(these, c.limit).text;
        std::u16string expected;
        for (size_t i = 0; i < c.shown; ++i) {
            expected += (i ? u"; " : u"") + SightingText(these[i]);
        }
        EXPECT_EQ(text, expected + c.end);
        EXPECT_LE(text.size(), c.limit);
    }
}

TEST(BuddyAlertText, CutsAHostNameTooLongForTheBalloonWholeCharactersOnly) {
    std::u16string host(250, u'h');
    BuddyAlert alert = ComposeBuddyAlert({Sighting(u"Bob", host)});
    EXPECT_EQ(alert.text, u"Bob is playing on " + std::u16string(222, u'h') + u"\u2026 (q2dm1, 7/16)");
    EXPECT_EQ(alert.text.size(), ALERT_TEXT_LIMIT);

    // With others left out, the count still fits after the cut sighting.
    alert = ComposeBuddyAlert({Sighting(u"Bob", host), Sighting(u"Ann", u"Y")});
    EXPECT_EQ(alert.text.size(), ALERT_TEXT_LIMIT);
    EXPECT_EQ(alert.text.substr(alert.text.size() - 29), u"; and 1 more buddy is playing");

    // A cut never splits a surrogate pair: U+1F600 is two code units, and the cut falls after a first one.
    std::u16string faces = u"x";
    for (int i = 0; i < 124; ++i) {
        faces += u"\U0001F600";
    }
    alert = ComposeBuddyAlert({Sighting(u"Bob", faces)});
    size_t ellipsis = alert.text.find(u'\u2026');
    ASSERT_NE(ellipsis, std::u16string::npos);
    EXPECT_FALSE(alert.text[ellipsis - 1] >= 0xD800 && alert.text[ellipsis - 1] <= 0xDBFF);
    EXPECT_EQ(alert.text.size(), ALERT_TEXT_LIMIT - 1);
}

} // namespace
