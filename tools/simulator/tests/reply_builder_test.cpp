#include "reply_builder.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

const std::string HEADER = "\xff\xff\xff\xffprint\n";

TEST(StatusReply, InfoKeysInNameOrderWithoutEmptyValuesThenPlayers) {
    ServerConfig server;
    server.info = {{"mapname", "q2dm1"}, {"hostname", "Test Server"}, {"anticheat", ""}, {"version", "3.20"}};
    server.players = {{12, 48, "Alice"}, {-2, 0, "Bob \"B\""}};
    EXPECT_EQ(BuildStatusReply(server),
              HEADER + "\\hostname\\Test Server\\mapname\\q2dm1\\version\\3.20\n12 48 \"Alice\"\n-2 0 \"Bob \"B\"\"\n");

    server.players.clear();
    server.info = {{"hostname", ""}};
    EXPECT_EQ(BuildStatusReply(server), HEADER + "\n");
}

TEST(StatusReply, LongRepliesLoseWholePlayerLinesUnlessOversizeAndRawOnesGoAsGiven) {
    ServerConfig server;
    server.info = {{"hostname", "Crowded"}};
    std::string full = HEADER + "\\hostname\\Crowded\n";
    std::vector<std::string> lines;
    for (int i = 0; i < 64; ++i) {
        server.players.push_back({i, 50, "a rather long player name " + std::to_string(i)});
        lines.push_back(std::to_string(i) + " 50 \"a rather long player name " + std::to_string(i) + "\"\n");
        full += lines.back();
    }
    std::string cut = BuildStatusReply(server);
    ASSERT_LE(cut.size(), MAX_REPLY_BYTES);
    ASSERT_EQ(full.compare(0, cut.size(), cut), 0);
    size_t kept = static_cast<size_t>(std::count(cut.begin(), cut.end(), '\n')) - 2;
    ASSERT_LT(kept, lines.size());
    EXPECT_EQ(cut.back(), '\n');
    EXPECT_GT(cut.size() + lines[kept].size(), MAX_REPLY_BYTES); // the first line left out did not fit

    server.oversize = true;
    std::string oversize = BuildStatusReply(server);
    EXPECT_EQ(oversize.size(), OVERSIZE_REPLY_BYTES);
    EXPECT_EQ(oversize.compare(0, HEADER.size(), HEADER), 0);
    std::string players = full.substr(full.find('\n', HEADER.size()) + 1);
    EXPECT_EQ(oversize.substr(oversize.size() - players.size()), players); // every player survives the padding

    server.oversize = false;
    server.info["motd"] = std::string(2000, 'm');
    EXPECT_EQ(BuildStatusReply(server).size(), MAX_REPLY_BYTES);

    server.raw = std::string("\xff\xff\xff\xffprint\n\\odd", 14);
    EXPECT_EQ(BuildStatusReply(server), *server.raw);
}

TEST(StatusReply, AnyDatagramStartingWithTheStatusWordIsAQuery) {
    for (std::string query : {std::string("\xff\xff\xff\xffstatus\n\0", 12), std::string("\xff\xff\xff\xffstatus 23\n"),
                              std::string("\xff\xff\xff\xffstatus")}) {
        EXPECT_TRUE(IsStatusQuery(query.data(), query.size())) << query;
    }
    for (std::string other : {std::string("\xff\xff\xff\xffstatu"), std::string("\xff\xff\xff\xffinfo 34\n"),
                              std::string("\xff\xff\xff\xfestatus\n"), std::string("status\n")}) {
        EXPECT_FALSE(IsStatusQuery(other.data(), other.size())) << other;
    }
}

} // namespace
