// The real service in-process, fed by the simulator's game servers and by sockets of the test, checked from outside:
// over HTTP as the browser asks and over UDP as qstat and game servers speak.
#include "service_harness.h"

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <ctime>
#include <thread>

#include "core/text/format.h"
#include "engine.h"
#include "master_datagram.h"

namespace skerrow_master {

namespace {

const std::string QSTAT_QUERY("query\n\0", 7);
const std::string STATUS_QUERY_BYTES("\xff\xff\xff\xffstatus\n\0", 12);

// The simulator's game servers on loopback ports the system picks, heartbeating to the service; no web service.
class SimulatedServers {
public:
    explicit SimulatedServers(const std::string& servers, const ListEntry& master) : engine_(&log_) {
        Scenario scenario;
        std::string text = "[master]\nrefuse = 1\n[heartbeat]\nmaster = " + FormatAddress(master) + "\n" + servers;
        EXPECT_TRUE(ParseScenario(text, &scenario, &error_)) << error_;
        EXPECT_TRUE(engine_.Start(EngineOptions{}, std::move(scenario), &error_)) << error_;
    }
    std::string Address(size_t index) const { return FormatEndpoint(engine_.servers().at(index).address); }
    void Stop() { engine_.Stop(); }

private:
    EventLog log_;
    std::string error_;
    Engine engine_;
};

void WriteFile(const std::string& path, const std::string& text) {
    FILE* file = std::fopen(path.c_str(), "wb");
    ASSERT_NE(file, nullptr) << path;
    std::fwrite(text.data(), 1, text.size(), file);
    std::fclose(file);
}

std::string ReadFile(const std::string& path) {
    std::string text;
    if (FILE* file = std::fopen(path.c_str(), "rb")) {
        char buffer[65536];
        size_t count = 0;
        while ((count = std::fread(buffer, 1, sizeof buffer, file)) > 0) {
            text.append(buffer, count);
        }
        std::fclose(file);
    }
    return text;
}

std::string Server(const std::string& gamename, const std::string& extra = "") {
    return "[server]\naddress = 127.0.0.1:0\ngamename = " + gamename + "\nhostname = H\n" + extra;
}

TEST(Service, ListsTheServersThatHeartbeatOnceTheyAnswerItsCheck) {
    RunningService service;
    ASSERT_TRUE(service.started()) << service.error();
    // Port 61999 lies above the ports the system hands out, so nothing else holds it.
    SimulatedServers servers(Server("ctf") + Server("CTF") + Server("action") + Server("lithium") +
                                 Server("ctf", "silent = 1\n") + Server("ctf", "reply_port = 61999\n") +
                                 Server("ctf", "heartbeat = 0\n"),
                             service.udp());
    std::vector<std::string> ctf = {servers.Address(0), servers.Address(1)};
    std::sort(ctf.begin(), ctf.end());

    ASSERT_TRUE(WaitUntil([&] { return ListedFor(service.http(), "").size() == 4; }));
    EXPECT_EQ(ListedFor(service.http(), "ctf"), ctf) << "the gamename of the reply, in any case";
    EXPECT_EQ(ListedFor(service.http(), "ACTION"), std::vector<std::string>{servers.Address(2)});
    HttpReply filters = HttpGet(service.http(), "/filters");
    EXPECT_EQ(filters.status, 200);
    EXPECT_EQ(filters.body.substr(filters.body.size() - 17), "\nlithium\nlithium\n") << filters.body;
    EXPECT_EQ(filters.body.find("Action Quake II\naction\nCTF\nctf\n"), 0u) << "the built-in list first";

    // Silent, answering from another port, never announced: none of them ever listed, even after their checks.
    EXPECT_FALSE(service.AwaitLog("listed " + servers.Address(4), milliseconds(800)).size());
    EXPECT_EQ(ListedFor(service.http(), "").size(), 4u);

    UdpPeer client;
    client.Send(service.udp(), QSTAT_QUERY);
    client.Send(service.udp(), "\xff\xff\xff\xffping");
    auto replies = client.Receive();
    ASSERT_EQ(replies.size(), 2u);
    EXPECT_EQ(replies[0].second.size(), 12u + 4 * 6);
    EXPECT_EQ(replies[0].second.substr(0, 12), "\xff\xff\xff\xffservers ");
    EXPECT_EQ(replies[1].second, "\xff\xff\xff\xff"
                                 "ack");

    servers.Stop(); // each server sends its shutdown
    EXPECT_TRUE(WaitUntil([&] { return ListedFor(service.http(), "").empty(); }));
}

TEST(Service, HostileDatagramsListNothingAndLeaveItServing) {
    RunningService service;
    ASSERT_TRUE(service.started()) << service.error();
    UdpPeer attacker(0x7F000002);
    for (const std::string junk : {"", "hello", "\xff\xff\xff\xffstatus\n", "\xff\xff\xff\xffprint\n\\gamename\\x\n"}) {
        attacker.Send(service.udp(), junk);
    }
    attacker.Send(service.udp(), "\xff\xff\xff\xffheartbeat\n" + std::string(5000, 'x'));

    // A flood of heartbeats from 300 ports of one address, none of which answers.
    std::vector<std::unique_ptr<UdpPeer>> flood;
    for (int i = 0; i < 300; ++i) {
        flood.push_back(std::make_unique<UdpPeer>(0x7F000002));
        flood.back()->Send(service.udp(), "\xff\xff\xff\xffheartbeat\n\\gamename\\ctf\n");
        flood.back()->Send(service.udp(), "\xff\xff\xff\xffheartbeat\n\\gamename\\ctf\n");
    }
    // A real server with a heartbeat of 200 player lines, sent in the middle of it.
    UdpPeer server;
    std::string heartbeat = "\xff\xff\xff\xffheartbeat\n\\gamename\\action\\hostname\\Crowded\n";
    for (int i = 0; i < 200; ++i) {
        heartbeat += fmt::format("{0} 50 \"player {0}\"\n", i);
    }
    server.Send(service.udp(), heartbeat);
    auto checks = server.Receive(milliseconds(50)); // before the check is sent again
    ASSERT_EQ(checks.size(), 1u);
    EXPECT_EQ(checks[0].second, STATUS_QUERY_BYTES);
    // An answer from the same port of another address comes first: it is not the server's.
    UdpPeer impostor(0x7F000005, server.address().port);
    impostor.Send(checks[0].first, "\xff\xff\xff\xffprint\n\\gamename\\spoofed\n");
    server.Send(checks[0].first, "\xff\xff\xff\xffprint\n\\gamename\\action\n");
    ASSERT_TRUE(WaitUntil([&] { return ListedFor(service.http(), "action").size() == 1; }));
    EXPECT_EQ(service.AwaitLog("gamename=spoofed", milliseconds(1)), "");

    size_t checked = 0;
    for (const auto& peer : flood) {
        checked += peer->Receive(milliseconds(1)).empty() ? 0 : 1;
    }
    EXPECT_EQ(checked, 128u) << "at most 128 servers on one address";
    EXPECT_EQ(ListedFor(service.http(), ""), std::vector<std::string>{FormatAddress(server.address())});

    // The metrics, on their own port only, read by the Prometheus client's parser.
    EXPECT_EQ(HttpGet(service.http(), "/metrics").status, 404);
    std::string metrics = Validated("metrics", HttpGet(service.metrics(), "/metrics").body);
    for (const char* sample :
         {"skerrow_master_servers_listed 1\n", "skerrow_master_datagrams_dropped_total{reason=\"malformed\"} 4\n",
          "skerrow_master_datagrams_dropped_total{reason=\"oversize\"} 1\n",
          "skerrow_master_http_responses_total{code=\"404\"} 1\n", "process_resident_memory_bytes "}) {
        EXPECT_NE(metrics.find(sample), std::string::npos) << sample << metrics;
    }
    service.Stop();
    std::string stopped = service.AwaitLog("stopped: ");
    size_t dropped = stopped.find("dropped 4 malformed, 1 oversize, ");
    ASSERT_NE(dropped, std::string::npos) << stopped;
    EXPECT_GE(std::stoi(stopped.substr(dropped + 33)), 80) << "600 flood heartbeats against a burst of 512";
}

TEST(Service, ARealServerIsListedDuringAFloodOfForgedHeartbeatsFromEverNewAddresses) {
    ServiceOptions options = TestOptions();
    options.limits.max_candidates = 300;
    options.timing.retry_after = milliseconds(1000); // a forged candidate is asked for 3 s
    options.checks_per_second = 2000;
    RunningService service(options);
    ASSERT_TRUE(service.started()) << service.error();
    // 1,000 new addresses a second (127.20.x.y), none of which answers: the candidate table is full within 0.3 s.
    const std::string heartbeat = "\xff\xff\xff\xffheartbeat\n\\gamename\\ctf\n";
    UdpPeer forger;
    std::atomic<uint32_t> forged{0};
    std::atomic<bool> flooding{true};
    std::thread flood([&] {
        while (flooding && forged < 6000) {
            for (int i = 0; i < 10; ++i) {
                forger.SendFrom(0x7F140001 + forged++, service.udp(), heartbeat);
            }
            std::this_thread::sleep_for(milliseconds(10));
        }
    });
    ASSERT_TRUE(WaitUntil([&] { return forged >= 600; }));

    // A real server heartbeats once, in the middle of it, and answers its check.
    UdpPeer real(0x7F000009);
    real.Send(service.udp(), heartbeat);
    bool listed = WaitUntil(
        [&] {
            for (const auto& [from, datagram] : real.Receive(milliseconds(5))) {
                if (datagram == STATUS_QUERY_BYTES) {
                    real.Send(from, "\xff\xff\xff\xffprint\n\\gamename\\ctf\n");
                }
            }
            return ListedFor(service.http(), "ctf") == std::vector<std::string>{FormatAddress(real.address())};
        },
        milliseconds(3000));
    bool still_flooding = flooding && forged < 6000;
    flooding = false;
    flood.join();
    EXPECT_TRUE(listed);
    EXPECT_TRUE(still_flooding) << "listed while the flood went on";
}

TEST(Service, ASourceGetsAFewQueryRepliesAMinuteAndAForgedBurstLocksNobodyOut) {
    ServiceOptions options = TestOptions();
    options.max_sources = 1000;
    RunningService service(options);
    ASSERT_TRUE(service.started()) << service.error();
    UdpPeer client;
    for (int i = 0; i < 5; ++i) {
        client.Send(service.udp(), QSTAT_QUERY);
    }
    EXPECT_EQ(client.Receive().size(), 3u);
    UdpPeer other(0x7F000003);
    other.Send(service.udp(), QSTAT_QUERY);
    EXPECT_EQ(other.Receive().size(), 1u) << "another source has its own allowance";

    // Queries and pings from 3,000 forged sources, each once: three times what the tables of sources hold.
    UdpPeer forger;
    for (uint32_t i = 0; i < 3000; ++i) {
        forger.SendFrom(0x7F200001 + i, service.udp(), QSTAT_QUERY);
        forger.SendFrom(0x7F200001 + i, service.udp(), "\xff\xff\xff\xffping");
    }
    // A new source is answered, asking again as qstat does while no answer comes.
    UdpPeer newcomer(0x7F060001);
    bool answered = false, acked = false;
    WaitUntil(
        [&] {
            newcomer.Send(service.udp(), answered ? "\xff\xff\xff\xffping" : QSTAT_QUERY);
            for (const auto& reply : newcomer.Receive(milliseconds(250))) {
                answered = answered || reply.second.compare(0, 12, "\xff\xff\xff\xffservers ") == 0;
                acked = acked || reply.second == "\xff\xff\xff\xff"
                                                 "ack";
            }
            return answered && acked;
        },
        milliseconds(3000));
    EXPECT_TRUE(answered);
    EXPECT_TRUE(acked);
}

TEST(Service, RepliesToOneSlash24AreBoundedInBytes) {
    // 10,000 listed servers, restored from a state file: each `servers` reply is 60,012 bytes.
    std::string state = testing::TempDir() + "skerrow-master-many.txt";
    std::string text = "skerrow-master state 1\n";
    for (uint32_t i = 1; i <= 10000; ++i) {
        text += fmt::format("{} {} ctf\n", FormatAddress(FromOctets(0x7F090000 + i, 27910)), std::time(nullptr));
    }
    WriteFile(state, text + "end 10000\n");
    ServiceOptions options = TestOptions();
    options.state_path = state;
    RunningService service(options);
    ASSERT_TRUE(service.started()) << service.error();

    // 50 addresses of 127.5.5.0/24, three queries each: their own allowances would take 150 replies.
    std::vector<std::unique_ptr<UdpPeer>> subnet;
    for (uint32_t i = 1; i <= 50; ++i) {
        subnet.push_back(std::make_unique<UdpPeer>(0x7F050500 + i));
        for (int query = 0; query < 3; ++query) {
            subnet.back()->Send(service.udp(), QSTAT_QUERY);
        }
    }
    size_t replies = 0, bytes = 0;
    auto collect = [&] {
        for (const auto& peer : subnet) {
            for (const auto& reply : peer->Receive(milliseconds(0))) {
                ++replies;
                bytes += reply.second.size();
            }
        }
        return replies;
    };
    ASSERT_TRUE(WaitUntil([&] { return collect() >= 3; }));
    EXPECT_FALSE(WaitUntil([&] { return collect() > 3; }, milliseconds(500)));
    EXPECT_EQ(replies, 3u) << "196,608 bytes at once hold three replies of 60,012";
    EXPECT_EQ(bytes, 3u * 60012);
    UdpPeer neighbour(0x7F050601);
    neighbour.Send(service.udp(), QSTAT_QUERY);
    auto answer = neighbour.Receive();
    ASSERT_EQ(answer.size(), 1u) << "the next /24 has its own";
    EXPECT_EQ(answer[0].second.size(), 60012u);
    service.Stop();
    std::remove(state.c_str());
}

TEST(Service, KeepsItsListAcrossARestartAndSkipsOnlyWhatIsDamaged) {
    std::string state = testing::TempDir() + "skerrow-master-state.txt";
    std::remove(state.c_str());
    ServiceOptions options = TestOptions();
    options.state_path = state;
    std::string listed;
    {
        RunningService first(options);
        ASSERT_TRUE(first.started()) << first.error();
        SimulatedServers servers(Server("ctf"), first.udp());
        ASSERT_TRUE(WaitUntil([&] { return ListedFor(first.http(), "ctf").size() == 1; }));
        listed = servers.Address(0);
        first.Stop(); // before the servers shut down
    }
    RunningService second(options);
    ASSERT_TRUE(second.started()) << second.error();
    EXPECT_EQ(ListedFor(second.http(), "ctf"), std::vector<std::string>{listed}) << "listed before any heartbeat";
    EXPECT_NE(second.AwaitLog("1 of 1 servers restored"), "");
    second.Stop();

    for (const std::string& broken : {std::string("\x7f"
                                                  "ELF\x02\x01"),
                                      std::string()}) {
        WriteFile(state, broken);
        RunningService third(options);
        ASSERT_TRUE(third.started()) << third.error();
        EXPECT_NE(third.AwaitLog("state " + state + ": ignored: line 1: not a state file"), "");
        EXPECT_TRUE(ListedFor(third.http(), "").empty());
    }

    // 300 servers, the 151st line damaged, the last 100 last heard long ago (a clock that jumped, say). Every other
    // line is restored; and while their checks have not ended, the file is not replaced by a shorter list.
    std::string text = "skerrow-master state 1\n";
    for (uint32_t i = 1; i <= 300; ++i) {
        long long heard = std::time(nullptr) - (i > 200 ? 100000 : 0);
        text += i == 151 ? "127.9.0.151:27910 soon ctf\n"
                         : fmt::format("{} {} ctf\n", FormatAddress(FromOctets(0x7F090000 + i, 27910)), heard);
    }
    text += "end 300\n";
    WriteFile(state, text);
    options.timing.retry_after = std::chrono::seconds(5);
    {
        RunningService fourth(options);
        ASSERT_TRUE(fourth.started()) << fourth.error();
        EXPECT_NE(fourth.AwaitLog("state " + state + ": 299 of 299 servers restored, checking them again; 100 older " +
                                  "than the expiry are listed once they answer; damaged (line 152: not a server), 1 " +
                                  "lines skipped"),
                  "");
        EXPECT_EQ(ListedFor(fourth.http(), "").size(), 199u);
        fourth.Stop();
        EXPECT_NE(fourth.AwaitLog("state not saved (at exit): 299 restored servers are not checked yet; " + state +
                                  " keeps its 300"),
                  "");
    }
    EXPECT_EQ(ReadFile(state), text);

    // A save that cannot replace the file names the file, not the .tmp it wrote.
    std::remove(state.c_str());
    {
        RunningService fifth(options);
        ASSERT_TRUE(fifth.started()) << fifth.error();
        ASSERT_EQ(mkdir(state.c_str(), 0700), 0);
        fifth.Stop();
        EXPECT_NE(fifth.AwaitLog("state not saved (at exit): " + state + ": Is a directory"), "");
    }
    EXPECT_EQ(rmdir(state.c_str()), 0);
    EXPECT_EQ(ReadFile(state + ".tmp"), "") << "no .tmp left behind";
}

TEST(Service, TakesCandidatesFromAnUpstreamMasterAndChecksThem) {
    UdpPeer upstream;
    ServiceOptions options = TestOptions();
    options.upstreams.push_back({"127.0.0.1", fmt::to_string(upstream.address().port)});
    options.upstream_answer_window = milliseconds(1000);
    RunningService service(options);
    ASSERT_TRUE(service.started()) << service.error();
    UdpPeer nowhere; // a master may list a server that is gone: it never answers
    SimulatedServers servers(Server("ctf", "heartbeat = 0\n"), FromOctets(0x7F000001, 9));
    ListEntry real;
    ASSERT_TRUE(ParseAddress(servers.Address(0), &real));

    auto asked = upstream.Receive();
    auto asked_at = std::chrono::steady_clock::now();
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0].second, QSTAT_QUERY);
    upstream.Send(asked[0].first, BuildServersReply({real, nowhere.address()}));
    EXPECT_NE(service.AwaitLog(fmt::format("upstream 127.0.0.1:{}: 2 servers, 2 new", upstream.address().port)), "");
    ASSERT_TRUE(WaitUntil([&] { return ListedFor(service.http(), "ctf").size() == 1; }));
    EXPECT_EQ(ListedFor(service.http(), "ctf"), std::vector<std::string>{servers.Address(0)});
    EXPECT_EQ(nowhere.Receive().size(), 3u) << "asked three times, never listed";

    // Later, from the same address and port, but answering no query of ours: a forged list, ignored.
    UdpPeer named(0x7F00000A);
    std::this_thread::sleep_until(asked_at + milliseconds(1100));
    upstream.Send(asked[0].first, BuildServersReply({named.address()}));
    EXPECT_TRUE(named.Receive(milliseconds(500)).empty()) << "never checked";
    EXPECT_EQ(service.AwaitLog(": 1 servers", milliseconds(1)), "");
}

} // namespace

} // namespace skerrow_master
