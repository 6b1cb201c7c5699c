// What the service reads from outside: master datagrams, upstream lists, state files, request targets, mod filter
// texts and its command line; and the small tables that ration it: rate limits and connection slots.
#include <gtest/gtest.h>

#include "answer_cache.h"
#include "check_reply.h"
#include "connection_slots.h"
#include "core/text/format.h"
#include "master_datagram.h"
#include "mod_list.h"
#include "options.h"
#include "rate_limiter.h"
#include "state_file.h"
#include "web_routes.h"

namespace skerrow_master {

namespace {

const unsigned char* Bytes(const std::string& text) {
    return reinterpret_cast<const unsigned char*>(text.data());
}

TEST(MasterDatagram, CommandsAreWholeWordsWithOrWithoutThePrefix) {
    const struct {
        std::string datagram;
        MasterCommand command;
    } CASES[] = {
        {std::string("query\n\0", 7), MasterCommand::Query}, // qstat's, exactly
        {"\xff\xff\xff\xffquery", MasterCommand::Query},
        {"\xff\xff\xff\xffheartbeat\n\\gamename\\ctf\n", MasterCommand::Heartbeat},
        {"\xff\xff\xff\xffshutdown", MasterCommand::Shutdown},
        {"\xff\xff\xff\xffping", MasterCommand::Ping},
        {"ping", MasterCommand::Ping},
        {"\xff\xff\xff\xffpingpong", MasterCommand::Unknown},
        {"\xff\xff\xff\xffPING", MasterCommand::Unknown},
        {"\xff\xff\xffping", MasterCommand::Unknown},
        {"\xff\xff\xff\xff", MasterCommand::Unknown},
        {"", MasterCommand::Unknown},
        {"\xff\xff\xff\xffprint\n\\gamename\\ctf\n", MasterCommand::Unknown},
        {"\xff\xff\xff\xff heartbeat", MasterCommand::Unknown},
    };
    for (const auto& c : CASES) {
        EXPECT_EQ(ParseMasterCommand(Bytes(c.datagram), c.datagram.size()), c.command) << c.datagram;
    }
}

TEST(CheckReply, AStatusReplyStartsWithPrintAndALineFeedAndNamesItsGameAndPlayers) {
    for (const std::string reply : {"\xff\xff\xff\xffprint\n\\gamename\\ctf\n", "\xff\xff\xff\xffprint"}) {
        EXPECT_TRUE(IsStatusReply(Bytes(reply), reply.size())) << reply;
    }
    for (const std::string other : {"\xff\xff\xff\xffprinter\n", "print\n\\a\\b\n", "\xff\xff\xff\xffprin"}) {
        EXPECT_FALSE(IsStatusReply(Bytes(other), other.size())) << other;
    }
    ReplyReader reader;
    const struct {
        std::string reply;
        const char* gamename;
        std::string hostname;
        std::string players; // "name/frags/ping;" each
    } REPLIES[] = {
        {"\xff\xff\xff\xffprint\n\\hostname\\X\\GameName\\Lithium\\mapname\\q2dm1\n0 1 \"p\"\n-3 999 \"q r\"\n",
         "Lithium", "X", "p/0/1;q r/-3/999;"},
        {"\xff\xff\xff\xffprint\n\\hostname\\X\n", "default", "X", ""},
        {std::string("\xff\xff\xff\xffprint\n\\gamename\\caf\xe9\0ctf\n", 29), "caf\xe9", "", ""},
        {"\xff\xff\xff\xffprint\n\\gamename\\" + std::string(100, 'g') + "\n", nullptr, "", ""},
        // Hostile names come through as the server's bytes; the web side escapes them.
        {"\xff\xff\xff\xffprint\n\\hostname\\<script>alert(1)</script>\n5 50 \"\x01\x1b[31m\xff\xc3\"\n"
         "7 60 \"" +
             std::string(40, 'n') + "\"\n",
         "default", "<script>alert(1)</script>", "\x01\x1b[31m\xff\xc3/5/50;" + std::string(31, 'n') + "/7/60;"},
    };
    for (const auto& r : REPLIES) {
        ServerStatus status = reader.Read(Bytes(r.reply), r.reply.size());
        EXPECT_EQ(status.gamename, r.gamename ? r.gamename : std::string(63, 'g'));
        EXPECT_EQ(status.hostname, r.hostname);
        std::string players;
        for (size_t i = 0; i < status.players.size(); ++i) {
            PlayerList::Player player = status.players[i];
            players += fmt::format("{}/{}/{};", player.name, player.frags, player.ping);
        }
        EXPECT_EQ(players, r.players) << r.reply;
    }
}

TEST(ServersReply, CarriesTheEntriesAfterItsHeaderAndNoMoreThanOneDatagramHolds) {
    std::vector<ListEntry> servers = {FromOctets(0x7F000001, 27910), FromOctets(0x0A010203, 0x1234)};
    std::string reply = BuildServersReply(servers);
    EXPECT_EQ(reply, std::string("\xff\xff\xff\xffservers \x7f\0\0\x01\x6d\x06\x0a\x01\x02\x03\x12\x34", 24));
    std::vector<ListEntry> read;
    ASSERT_TRUE(ParseServersReply(Bytes(reply + "\x01\x02"), reply.size() + 2, &read)) << "a fragment is ignored";
    EXPECT_EQ(read, servers);

    std::vector<ListEntry> many(20000, FromOctets(0x0A000001, 1));
    EXPECT_EQ(BuildServersReply(many).size(), 12u + 10915 * 6) << "65,502 bytes: within one UDP datagram";

    for (const std::string other : {"\xff\xff\xff\xffserversX\x7f\0\0\x01\x6d\x06", "servers \x7f\0\0\x01\x6d\x06"}) {
        EXPECT_FALSE(ParseServersReply(Bytes(other), other.size(), &read));
    }
}

TEST(StateFile, RoundTripsAndSkipsOnlyTheDamagedLines) {
    std::vector<SavedServer> servers = {{FromOctets(0x7F000001, 27910), 1796665620, "ctf"},
                                        {FromOctets(0x0A000002, 1), 0, "Lithium II + runes"}};
    std::string text = FormatState(servers);
    StateContents read;
    std::string error;
    ASSERT_TRUE(ParseState(text, 10, &read, &error)) << error;
    ASSERT_EQ(read.servers.size(), 2u);
    EXPECT_EQ(read.servers[1].gamename, "Lithium II + runes");
    EXPECT_EQ(read.servers[0].last_answer, 1796665620);
    EXPECT_EQ(read.held, 2u);
    EXPECT_EQ(read.damage, "");

    const std::string header = "skerrow-master state 1\n";
    const std::string good = "127.0.0.1:1 5 ctf\n";
    const std::string other = "127.0.0.2:2 6 action\n";
    const struct {
        std::string text;
        size_t servers; // kept
        size_t damaged; // lines skipped
        size_t held;
        const char* damage;
    } DAMAGED[] = {
        {text.substr(0, text.size() - 6), 2, 0, 2, "no end line: the file was cut short"},
        {text.substr(0, text.size() - 1), 2, 0, 2, "no end line: the file was cut short"},
        {text.substr(0, text.size() - 8), 1, 1, 2, "no end line: the file was cut short"}, // in a server line
        {text + "x", 2, 0, 2, "line 4: text after the end"},
        {header + "end 1\n", 0, 0, 1, "line 2: the count does not match"},
        {header + good + other + "end 3\n", 2, 0, 3, "line 4: the count does not match"}, // a line lost
        {header + good + "127.0.0.1:0 5 ctf\n" + other + "end 3\n", 2, 1, 3, "line 3: not a server"},
        {header + "127.0.0.1:1 -5 ctf\n" + other + "end 2\n", 1, 1, 2, "line 2: not a server"},
        {header + good + "127.0.0.1:1 5 \n127.0.0.1:1 5\n" + other + "end 4\n", 2, 2, 4, "line 3: not a server"},
        {header + good + std::string("\0\xff garbage\n", 11) + other + "end 3\n", 2, 1, 3, "line 3: not a server"},
    };
    for (const auto& damaged : DAMAGED) {
        ASSERT_TRUE(ParseState(damaged.text, 10, &read, &error)) << damaged.text;
        EXPECT_EQ(read.servers.size(), damaged.servers) << damaged.text;
        EXPECT_EQ(read.damaged, damaged.damaged) << damaged.text;
        EXPECT_EQ(read.held, damaged.held) << damaged.text;
        EXPECT_EQ(read.damage, damaged.damage) << damaged.text;
    }
    for (const std::string& other_file : {std::string("skerrow-master state 2\nend 0\n"), std::string("\0\0\0\n", 4),
                                          std::string("\x7f"
                                                      "ELF\n")}) {
        EXPECT_FALSE(ParseState(other_file, 10, &read, &error)) << other_file;
        EXPECT_EQ(error, "line 1: not a state file");
        EXPECT_TRUE(read.servers.empty());
    }
    ASSERT_TRUE(ParseState(text, 1, &read, &error));
    EXPECT_EQ(read.servers.size(), 1u);
    EXPECT_EQ(read.held, 2u);
    EXPECT_EQ(read.damage, "line 3: more than 1 servers");
}

TEST(WebRoutes, TheListTargetIsModAndRawTwoInAnyOrderAndThePageAndTheApiTakeTheirOwnParameters) {
    const struct {
        const char* target;
        bool list;
        const char* mod;
        unsigned status; // its answer, with no server listed
    } CASES[] = {
        {"/?mod=ctf&raw=2", true, "ctf", 200},
        {"/?raw=2&mod=ctf", true, "ctf", 200},
        {"/?mod=&raw=2", true, "", 200},
        {"/?raw=2", true, "", 200},
        {"/?mod=a%20b&raw=2", true, "a%20b", 200},
        {"/?mod=ctf", false, "", 200}, // the page
        {"/?mod=ctf&raw=1", false, "", 404},
        {"/?mod=ctf&raw=2&x=1", false, "", 404},
        {"/?mod=a&mod=b&raw=2", false, "", 404},
        {"/list?mod=ctf&raw=2", false, "", 404},
        {"/", false, "", 200},
        {"/?mod=ctf&raw=2&", false, "", 404},
        {"/?sort=players&mod=a%3Cb&page=3", false, "", 200},
        {"/?sort=ping", false, "", 404},
        {"/?page=0", false, "", 404},
        {"/?page=2x", false, "", 404},
        {"/?mod=a&mod=b", false, "", 404},
        {"/api/servers", false, "", 200},
        {"/api/servers?mod=ctf", false, "", 200},
        {"/api/servers?sort=map", false, "", 404},
        {"/api/servers/", false, "", 404},
        {"/api/health", false, "", 200},
        {"/metrics", false, "", 404}, // only on its own address
    };
    ServerStore store({}, {}, [](const std::string&) {});
    FiltersText filters;
    AnswerCache answers(std::chrono::seconds(1));
    for (const auto& c : CASES) {
        std::string mod = "unset";
        EXPECT_EQ(ParseListTarget(c.target, &mod), c.list) << c.target;
        if (c.list) {
            EXPECT_EQ(mod, c.mod) << c.target;
        }
        EXPECT_EQ(AnswerRequest(true, c.target, store, BuiltInMods(), &filters, &answers).status, c.status) << c.target;
    }
}

TEST(ModList, ConfiguredPairsThenTheSeenDirectoriesTheyLack) {
    std::vector<ModPair> configured;
    ASSERT_TRUE(ParseModText("\nCapture The Flag\nctf\n\n\nKöln Duel\ntdm\n", &configured));
    std::vector<std::string> seen = {"CTF", "baseq2", "bad dir", "a&b", "caf\xc3\xa9", "lithium"};
    EXPECT_EQ(BuildModText(configured, seen),
              "Capture The Flag\nctf\nKöln Duel\ntdm\nbaseq2\nbaseq2\nlithium\nlithium\n");
    EXPECT_FALSE(ParseModText("a\nb\nc\n", &configured)) << "an odd number of lines";

    std::vector<ModPair> built_in = BuiltInMods();
    ASSERT_EQ(built_in.size(), 12u);
    EXPECT_EQ(built_in[3].name, "Deathmatch");
    EXPECT_EQ(built_in[3].dir, "ffa");
}

TEST(ModList, NeverMoreThanTheBrowserTakes) {
    std::vector<std::string> seen;
    for (int i = 0; i < 100; ++i) {
        seen.push_back(fmt::format("mod{}", i));
    }
    std::vector<ModPair> pairs;
    ASSERT_TRUE(ParseModText(BuildModText(BuiltInMods(), seen), &pairs));
    EXPECT_EQ(pairs.size(), 63u);

    std::vector<ModPair> long_names(40, ModPair{std::string(200, 'n'), "d"});
    std::string text = BuildModText(long_names, {});
    EXPECT_LE(text.size(), 8191u);
    EXPECT_EQ(text.size(), 40u * 203 - (40 - 8191 / 203) * 203) << "whole pairs only";
}

TEST(Options, DefaultsAndEveryOption) {
    const char* none[] = {"skerrow-master"};
    ServiceOptions defaults;
    std::string error;
    ASSERT_TRUE(ParseOptions(1, none, &defaults, &error));
    EXPECT_EQ(FormatAddress(defaults.http), "0.0.0.0:80");
    EXPECT_EQ(FormatAddress(defaults.udp), "0.0.0.0:27900");
    EXPECT_EQ(defaults.timing.expire, std::chrono::seconds(900));
    EXPECT_EQ(defaults.timing.recheck, std::chrono::seconds(60));
    EXPECT_FALSE(defaults.metrics) << "off unless asked for";

    const char* all[] = {"skerrow-master",
                         "--http",
                         "127.0.0.1:8080",
                         "--udp",
                         "10.0.0.1:27901",
                         "--upstream",
                         "m.example.net:27900",
                         "--upstream",
                         "1.2.3.4:27900",
                         "--mods",
                         "mods.txt",
                         "--state",
                         "state.txt",
                         "--expire",
                         "60",
                         "--recheck",
                         "30",
                         "--metrics",
                         "127.0.0.1:9100"};
    ServiceOptions options;
    ASSERT_TRUE(ParseOptions(19, all, &options, &error)) << error;
    EXPECT_EQ(FormatAddress(options.http), "127.0.0.1:8080");
    ASSERT_EQ(options.upstreams.size(), 2u);
    EXPECT_EQ(options.upstreams[0].host, "m.example.net");
    EXPECT_EQ(options.upstreams[0].port, "27900");
    EXPECT_EQ(options.state_path, "state.txt");
    EXPECT_EQ(options.timing.expire, std::chrono::seconds(60));
    EXPECT_EQ(options.timing.recheck, std::chrono::seconds(30));
    ASSERT_TRUE(options.metrics);
    EXPECT_EQ(FormatAddress(*options.metrics), "127.0.0.1:9100");

    const std::vector<std::vector<const char*>> WRONG = {
        {"--http", "localhost:80"},
        {"--udp", "1.2.3.4"},
        {"--upstream", "host"},
        {"--upstream", "h:0"},
        {"--expire", "0"},
        {"--expire", "5s"},
        {"--recheck", "0"},
        {"--metrics", "localhost:9100"},
        {"--bogus", "1"},
        {"--state"},
        {"stray"},
        {"--mods", ""},
    };
    for (const auto& wrong : WRONG) {
        std::vector<const char*> argv = {"skerrow-master"};
        argv.insert(argv.end(), wrong.begin(), wrong.end());
        ServiceOptions rejected;
        EXPECT_FALSE(ParseOptions(static_cast<int>(argv.size()), argv.data(), &rejected, &error)) << wrong[0];
        EXPECT_FALSE(error.empty());
    }
}

TEST(RateLimiter, ABurstThenTheRefillRateAndABoundedTableThatNeverLocksOutANewcomer) {
    RateLimiter limiter(3, 2, 2);
    Clock::time_point now{};
    for (int i = 0; i < 3; ++i) {
        EXPECT_TRUE(limiter.Allow(1, now));
    }
    EXPECT_FALSE(limiter.Allow(1, now));
    EXPECT_TRUE(limiter.Allow(2, now)) << "sources do not share";
    EXPECT_TRUE(limiter.Allow(1, now + std::chrono::milliseconds(500)));
    EXPECT_FALSE(limiter.Allow(1, now + std::chrono::milliseconds(500)));
    EXPECT_TRUE(limiter.Allow(3, now)) << "the table of two busy sources makes room for a third";
    EXPECT_EQ(limiter.sources(), 2u);
    EXPECT_TRUE(limiter.Allow(4, now + std::chrono::seconds(5)));
    EXPECT_EQ(limiter.sources(), 1u) << "refilled buckets are forgotten";

    // A burst of forged sources, each once, far more than the table holds: a new source still gets its turn.
    RateLimiter queries(3, 3.0 / 60, 1000);
    for (uint32_t source = 0; source < 5000; ++source) {
        queries.Allow(0x7F200000 + source, now);
    }
    EXPECT_LE(queries.sources(), 1000u);
    EXPECT_TRUE(queries.Allow(0x7F060001, now));

    // Costs: bytes of a bucket of 100 that earns 10 a second. A refused cost spends nothing.
    RateLimiter bytes(100, 10, 4);
    EXPECT_TRUE(bytes.Has(7, now, 100));
    EXPECT_FALSE(bytes.Has(7, now, 101));
    EXPECT_TRUE(bytes.Allow(7, now, 60));
    EXPECT_FALSE(bytes.Allow(7, now, 60));
    EXPECT_TRUE(bytes.Allow(7, now, 40));
    EXPECT_FALSE(bytes.Has(7, now + std::chrono::milliseconds(900), 10));
    EXPECT_TRUE(bytes.Allow(7, now + std::chrono::seconds(1), 10));
}

TEST(ConnectionSlots, CapsPerAddressAndNetworkThenTheOldestWaitingOfTheBusiestNetworkGivesWay) {
    ConnectionSlots slots({6, 2, 3});
    ConnectionSlots::Id evicted = 0;
    const uint32_t A1 = 0x0A000001, A2 = 0x0A000002, B1 = 0x0A000101, C1 = 0x0A000201, D1 = 0x0A000301;
    ConnectionSlots::Id a[3] = {slots.Admit(A1, &evicted), slots.Admit(A1, &evicted), slots.Admit(A2, &evicted)};
    EXPECT_NE(a[0] * a[1] * a[2], 0u);
    EXPECT_EQ(slots.Admit(A1, &evicted), 0u) << "two an address";
    EXPECT_EQ(slots.Admit(A2, &evicted), 0u) << "three a /24";
    ConnectionSlots::Id b = slots.Admit(B1, &evicted);
    ConnectionSlots::Id c[2] = {slots.Admit(C1, &evicted), slots.Admit(C1, &evicted)};
    EXPECT_EQ(slots.held(), 6u);
    EXPECT_EQ(evicted, 0u);

    // Full. 10.0.0/24 holds the most; its oldest connection is busy answering, so the next one gives way.
    slots.SetWaiting(a[0], false);
    ConnectionSlots::Id d[2] = {slots.Admit(D1, &evicted), 0};
    EXPECT_NE(d[0], 0u);
    EXPECT_EQ(evicted, a[1]);
    // Now 10.0.0/24 and 10.0.2/24 hold two each: the oldest waiting one of either goes, not the lone one of 10.0.1/24.
    d[1] = slots.Admit(D1, &evicted);
    EXPECT_NE(d[1], 0u);
    EXPECT_EQ(evicted, a[2]);
    EXPECT_EQ(slots.Admit(C1 + 1, &evicted), 0u) << "a newcomer whose /24 holds as many takes nothing";
    EXPECT_EQ(evicted, 0u);
    // With every connection of the /24s that hold two busy, the waiting one of a /24 that holds one goes; once
    // none waits, nothing is taken.
    slots.SetWaiting(a[0], true);
    for (ConnectionSlots::Id busy : {b, c[0], c[1], d[0], d[1]}) {
        slots.SetWaiting(busy, false);
    }
    ConnectionSlots::Id e = slots.Admit(0x0A000401, &evicted);
    EXPECT_NE(e, 0u);
    EXPECT_EQ(evicted, a[0]);
    slots.SetWaiting(e, false);
    EXPECT_EQ(slots.Admit(0x0A000501, &evicted), 0u);
    EXPECT_EQ(evicted, 0u);
    slots.Release(a[1]); // given away already: nothing happens
    EXPECT_EQ(slots.held(), 6u);
    slots.Release(c[0]);
    EXPECT_NE(slots.Admit(C1, &evicted), 0u) << "a slot given back is free again";
    EXPECT_EQ(evicted, 0u);
}

} // namespace

} // namespace skerrow_master
