#include "scenario.h"

#include <gtest/gtest.h>

namespace {

TEST(ScenarioParse, ReadsEverySectionWithQuotesAndEscapes) {
    const char* text = "# a comment, then a blank line\n"
                       "\n"
                       "[master]\r\n"
                       "status = 503\n"
                       "chunks = 6, 12\n"
                       "chunk_delay_ms = 250\n"
                       "close_after = 20\n"
                       "refuse = 0\n"
                       "[filters]\n"
                       "text = \"Deathmatch\\nffa\\nCapture The Flag\\nctf\\n\"\n"
                       "[heartbeat]\n"
                       "master = 127.0.0.1:27900\n"
                       "master = 10.0.0.1:27901\n"
                       "interval_s = 5\n"
                       "[server]\n"
                       "  address = 127.0.0.2:27911\n"
                       "mod = ctf\n"
                       "hostname = \"Quoted \\\"name\\\" \\\\ tab\\there\"\n"
                       "info = motd caf\\xc3\\xa9 = \\x41\n"
                       "player = -3 48 \"Some \\\"One\\\"\"\n"
                       "player = 10 999 Bare Name\n"
                       "raw = \\xff\\xff\\xff\\xffprint\\n\n"
                       "listed = 0\n"
                       "heartbeat = 0\n"
                       "[server]\n"
                       "address = 127.0.0.1:27910\n"
                       "[udp_master]\n"
                       "address = 127.0.0.1:27901\n"
                       "servers = 10.0.0.1:27910, all 10.0.0.2:27911\n"
                       "per_datagram = 2\n"
                       "reply_from = 27902\n"
                       "delay_ms = 250\n"
                       "silent = yes\n"
                       "[udp_master]\n"
                       "address = 127.0.0.1:27903\n"
                       "[udp_master]\n"
                       "address = 127.0.0.1:27904\n"
                       "servers =\n";
    Scenario scenario;
    std::string error;
    ASSERT_TRUE(ParseScenario(text, &scenario, &error)) << error;

    EXPECT_TRUE(scenario.has_master);
    EXPECT_EQ(scenario.master.status, 503);
    EXPECT_EQ(scenario.master.chunks, (std::vector<size_t>{6, 12}));
    EXPECT_EQ(scenario.master.chunk_delay_ms, 250);
    EXPECT_EQ(scenario.master.close_after, 20u);
    EXPECT_FALSE(scenario.master.refuse);
    EXPECT_FALSE(scenario.master.body);
    EXPECT_EQ(scenario.filters.body, "Deathmatch\nffa\nCapture The Flag\nctf\n");
    ASSERT_EQ(scenario.heartbeat.masters.size(), 2u);
    EXPECT_EQ(FormatEndpoint(scenario.heartbeat.masters[1]), "10.0.0.1:27901");
    EXPECT_EQ(scenario.heartbeat.interval_s, 5);

    ASSERT_EQ(scenario.servers.size(), 2u);
    const ServerConfig& first = scenario.servers[0];
    EXPECT_EQ(first.line, 15);
    EXPECT_EQ(FormatEndpoint(first.address), "127.0.0.2:27911");
    EXPECT_EQ(first.mod, "ctf");
    EXPECT_FALSE(first.listed);
    EXPECT_FALSE(first.heartbeat);
    EXPECT_EQ(first.info.at("hostname"), "Quoted \"name\" \\ tab\there");
    EXPECT_EQ(first.info.at("motd"), "caf\xc3\xa9 = A");
    ASSERT_EQ(first.players.size(), 2u);
    EXPECT_EQ(first.players[0].score, -3);
    EXPECT_EQ(first.players[0].ping, 48);
    EXPECT_EQ(first.players[0].name, "Some \"One\"");
    EXPECT_EQ(first.players[1].name, "Bare Name");
    EXPECT_EQ(first.raw, std::string("\xff\xff\xff\xffprint\n"));

    const ServerConfig& second = scenario.servers[1];
    EXPECT_TRUE(second.listed);
    EXPECT_TRUE(second.heartbeat);
    EXPECT_TRUE(second.mod.empty());
    EXPECT_TRUE(second.info.empty());

    ASSERT_EQ(scenario.udp_masters.size(), 3u);
    const UdpMasterConfig& udp = scenario.udp_masters[0];
    EXPECT_EQ(udp.line, 27);
    EXPECT_EQ(FormatEndpoint(udp.address), "127.0.0.1:27901");
    EXPECT_TRUE(udp.all);
    ASSERT_EQ(udp.extra.size(), 2u);
    EXPECT_EQ(FormatEndpoint(udp.extra[0]), "10.0.0.1:27910");
    EXPECT_EQ(FormatEndpoint(udp.extra[1]), "10.0.0.2:27911");
    EXPECT_EQ(udp.per_datagram, 2u);
    EXPECT_EQ(udp.reply_from, 27902);
    EXPECT_EQ(udp.delay_ms, 250);
    EXPECT_TRUE(udp.silent);
    const UdpMasterConfig& plain = scenario.udp_masters[1];
    EXPECT_TRUE(plain.all) << "every listed server by default";
    EXPECT_TRUE(plain.extra.empty());
    EXPECT_EQ(plain.per_datagram, MAX_ENTRIES_PER_DATAGRAM);
    EXPECT_EQ(plain.reply_from, 0);
    EXPECT_EQ(plain.delay_ms, 0);
    EXPECT_FALSE(plain.silent);
    EXPECT_FALSE(scenario.udp_masters[2].all) << "an empty list lists nothing";
    EXPECT_TRUE(scenario.udp_masters[2].extra.empty());

    Scenario more;
    ASSERT_TRUE(ParseScenario("[udp_master]\naddress = 127.0.0.1:27905\n", &more, &error)) << error;
    MergeScenario(&scenario, std::move(more));
    ASSERT_EQ(scenario.udp_masters.size(), 4u) << "UDP masters add up";
    EXPECT_EQ(scenario.udp_masters[3].address.port, 27905);
}

TEST(ScenarioParse, ReportsTheLineOfTheFirstError) {
    const struct {
        const char* text;
        const char* error;
    } cases[] = {
        {"hostname = x\n", "line 1: \"hostname\" before any section"},
        {"[servers]\n", "line 1: unknown section [servers]"},
        {"\n[master]\nbogus = 1\n", "line 3: unknown key \"bogus\" in [master]"},
        {"[filters]\nbody_size = 4\n", "line 2: unknown key \"body_size\" in [filters]"},
        {"[master]\njust words\n", "line 2: expected key = value"},
        {"[server]\naddress = 1.2.3.4:5\nhostname = \"open\n", "line 3: missing closing quote"},
        {"[server]\naddress = 1.2.3.4:5\nhostname = \"a\" b\n", "line 3: text after the closing quote"},
        {"[server]\naddress = 1.2.3.4:5\nhostname = bad\\q\n", "line 3: unknown escape \\q"},
        {"[server]\naddress = 1.2.3.4:5\nhostname = \\x4\n", "line 3: \\x needs two hex digits"},
        {"[server]\naddress = 1.2.3.4:5\ndelay_ms = soon\n",
         "line 3: expected a whole number from 0 to 600000, not \"soon\""},
        {"[server]\naddress = 1.2.3.4:70000\n", "line 2: expected an address a.b.c.d:port, not \"1.2.3.4:70000\""},
        {"[server]\naddress = 1.2.3.4:5\nplayer = 1 2\n", "line 3: player needs a score, a ping and a name"},
        {"[master]\nchunks = 5,,6\n", "line 2: expected a whole number from 0 to 1073741824, not \"\""},
        {"[heartbeat]\nmaster = localhost:27900\n",
         "line 2: expected an address a.b.c.d:port, not \"localhost:27900\""},
        {"[heartbeat]\ninterval_s = 0\n", "line 2: expected a whole number from 1 to 3600, not \"0\""},
        {"[server]\nhostname = a\n\n[server]\naddress = 1.2.3.4:1\n", "line 1: [server] without an address"},
        {"[server]\naddress = 1.2.3.4:1\n[server]\nmod = ctf\n", "line 3: [server] without an address"},
        {"[udp_master]\nsilent = 1\n[server]\naddress = 1.2.3.4:1\n", "line 1: [udp_master] without an address"},
        {"[server]\naddress = 1.2.3.4:1\n[udp_master]\n", "line 3: [udp_master] without an address"},
        {"[udp_master]\naddress = 1.2.3.4:1\nservers = all, nowhere\n",
         "line 3: expected an address a.b.c.d:port, not \"nowhere\""},
        {"[udp_master]\naddress = 1.2.3.4:1\nper_datagram = 0\n",
         "line 3: expected a whole number from 1 to 10915, not \"0\""},
        {"[udp_master]\naddress = 1.2.3.4:1\nreply_from = 65536\n",
         "line 3: expected a whole number from 1 to 65535, not \"65536\""},
        {"[udp_master]\naddress = 1.2.3.4:1\nmod = ctf\n", "line 3: unknown key \"mod\" in [udp_master]"},
        {"[redirect]\nfrom = /a\n[master]\n", "line 1: [redirect] without from and to"},
        {"[redirect]\nfrom = /a\nto = /b\nstatus = 200\n",
         "line 4: expected a whole number from 300 to 399, not \"200\""},
    };
    for (const auto& example : cases) {
        Scenario scenario;
        std::string error;
        EXPECT_FALSE(ParseScenario(example.text, &scenario, &error)) << example.text;
        EXPECT_EQ(error, example.error) << example.text;
    }
}

} // namespace
