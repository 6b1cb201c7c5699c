#include "generator.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "reply_builder.h"

namespace {

// Everything a generated server is made of that a client can observe.
std::string Observable(const ServerConfig& server) {
    return FormatEndpoint(server.address) + " " + server.mod + " " + std::to_string(server.delay_ms) + " " +
           BuildStatusReply(server);
}

TEST(Generator, TheSameSeedMakesTheSameServers) {
    std::vector<ServerConfig> first = GenerateServers(300, 42, false);
    std::vector<ServerConfig> again = GenerateServers(300, 42, false);
    std::vector<ServerConfig> other = GenerateServers(300, 43, false);
    ASSERT_EQ(first.size(), 300u);
    size_t differ = 0;
    for (size_t i = 0; i < first.size(); ++i) {
        EXPECT_EQ(Observable(first[i]), Observable(again[i])) << i;
        differ += Observable(first[i]) != Observable(other[i]);
    }
    EXPECT_GT(differ, 250u);
}

TEST(Generator, MakesAPlausibleMixOnUniqueAddresses) {
    std::vector<ServerConfig> servers = GenerateServers(11000, 7, true);
    ASSERT_EQ(servers.size(), 11000u);
    std::set<std::string> addresses;
    std::set<std::string> mods;
    size_t empty = 0;
    size_t full = 0;
    for (const ServerConfig& server : servers) {
        addresses.insert(FormatEndpoint(server.address));
        EXPECT_EQ(server.address.host >> 24, 127u);
        EXPECT_EQ(server.address.port, 27910);
        mods.insert(server.mod);
        int maxclients = std::stoi(server.info.at("maxclients"));
        EXPECT_GE(maxclients, 8);
        EXPECT_LE(maxclients, 32);
        size_t players = server.players.size();
        EXPECT_LE(players, static_cast<size_t>(maxclients));
        empty += players == 0;
        full += players == static_cast<size_t>(maxclients);
        // Nothing generated is long enough to be cut: the reply keeps every player line whole.
        std::string reply = BuildStatusReply(server);
        EXPECT_EQ(static_cast<size_t>(std::count(reply.begin(), reply.end(), '\n')), players + 2);
        EXPECT_EQ(reply.back(), '\n');
    }
    EXPECT_EQ(addresses.size(), servers.size());
    EXPECT_GE(mods.size(), 6u);
    EXPECT_TRUE(mods.count("") && mods.count("ctf") && mods.count("action"));
    EXPECT_GT(empty, servers.size() / 10);
    EXPECT_GT(full, servers.size() / 20);

    std::vector<ServerConfig> on_one_address = GenerateServers(3, 7, false);
    EXPECT_EQ(FormatEndpoint(on_one_address[2].address), "127.0.0.1:27912");
}

} // namespace
