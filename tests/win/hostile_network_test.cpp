// Update runs against a hostile network: stray and malformed datagrams during the query phase, a master service
// that fails, stalls or sends too much, odd filter lists, and many runs in a row. Whatever comes in, every run ends
// with its closing text, the window answers, and the server list is exactly what the table says it should be.
#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "harness.h"
#include "platform/win32/wide.h"
#include "resource.h"
#include "servers.h"
#include "simulator_client.h"

namespace {

const wchar_t FAILURE_TEXT[] = L"Failed to download server list from 127.0.0.1.";

// A scenario value in double quotes that carries any bytes, zero bytes too.
std::string Quoted(const std::string& bytes) {
    std::string value = "\"";
    for (unsigned char c : bytes) {
        if (c >= 0x20 && c < 0x7F && c != '"' && c != '\\') {
            value += static_cast<char>(c);
        } else {
            char escape[5];
            std::snprintf(escape, sizeof escape, "\\x%02x", c);
            value += escape;
        }
    }
    return value + "\"";
}

// A master list entry of 127.0.0.1 with the port.
std::string Entry(int port) {
    return std::string("\x7f\x00\x00\x01", 4) + static_cast<char>(port >> 8) + static_cast<char>(port & 0xFF);
}

std::wstring Text(const char16_t* text) {
    return AsWide(text);
}

class HostileNetworkTest : public testing::Test {
protected:
    void TearDown() override { CloseMainWindow(); }

    static void Open(const std::string& scenario = EMPTY_MASTER) {
        ASSERT_NE(OpenMainWindow(scenario.c_str()), nullptr);
        App().session.config.packetsPerSecond = 1000;
    }

    static void RunToEnd(const std::string& scenario) {
        ASSERT_EQ(SimLoad(scenario), "OK");
        ASSERT_TRUE(RunUpdateToEnd(40000));
    }
};

// A listed server that is not there, 127.0.0.2:DOWN_PORT; the flood comes from its port on another address.
constexpr unsigned short DOWN_PORT = 29000;

// Sends well-formed replies, and empty, tiny and oversized datagrams, to the query socket from addresses and
// ports that were never queried: the servers' address with other ports, a listed server's port on another
// address, and other loopback addresses.
class Flood {
public:
    explicit Flood(unsigned short target) {
        auto open = [this](const char* address, unsigned short port) {
            SOCKET s = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
            sockaddr_in local{};
            local.sin_family = AF_INET;
            local.sin_port = htons(port);
            inet_pton(AF_INET, address, &local.sin_addr);
            if (s != INVALID_SOCKET && bind(s, reinterpret_cast<sockaddr*>(&local), sizeof local) == 0) {
                sockets_.push_back(s);
                return;
            }
            failures_ += std::string(address) + ":" + std::to_string(port) + " error " +
                         std::to_string(WSAGetLastError()) + "; ";
            if (s != INVALID_SOCKET) {
                closesocket(s);
            }
        };
        for (int i = 0; i < 4; ++i) {
            open("127.0.0.1", 0);
            open(("127.0.0." + std::to_string(3 + i)).c_str(), 0);
        }
        open("127.0.0.1", DOWN_PORT);
        target_.sin_family = AF_INET;
        target_.sin_port = htons(target);
        inet_pton(AF_INET, "127.0.0.1", &target_.sin_addr);
        TestServer stray;
        stray.hostname = "Stray";
        std::string empty = ReplyOf(stray);
        stray.players = {{1, 2, "s"}};
        payloads_ = {empty, "", std::string(5000, 'x'), "\xff", ReplyOf(stray)};
        sender_ = std::thread([this] { Send(); });
    }
    ~Flood() { Stop(); }

    void Stop() {
        stop_ = true;
        if (sender_.joinable()) {
            sender_.join();
        }
        for (SOCKET s : sockets_) {
            closesocket(s);
        }
        sockets_.clear();
    }

    size_t Sockets() const { return sockets_.size(); }
    const std::string& Failures() const { return failures_; }
    int Sent() const { return sent_; }

private:
    void Send() {
        for (int i = 0; !stop_ && i < 20000; ++i) {
            const std::string& payload = payloads_[i % payloads_.size()];
            SOCKET s = sockets_[i % sockets_.size()];
            if (sendto(s, payload.data(), static_cast<int>(payload.size()), 0,
                       reinterpret_cast<const sockaddr*>(&target_), sizeof target_) != SOCKET_ERROR) {
                ++sent_;
            }
        }
    }

    std::vector<SOCKET> sockets_;
    std::string failures_;
    sockaddr_in target_{};
    std::vector<std::string> payloads_;
    std::atomic<bool> stop_{false};
    std::atomic<int> sent_{0};
    std::thread sender_;
};

TEST_F(HostileNetworkTest, AFloodOfStraysAmidTheRunChangesNoRecord) {
    Open();
    // A plain server, one that answers only its third query, one that answers from another port, one that
    // repeats every reply five times, and one that is down, whose queries draw port-unreachable reports.
    ASSERT_EQ(SimLoad(ScenarioServer(27910) + ScenarioServer(27911, "answer_from = 3\n") +
                      ScenarioServer(27912, "reply_port = 27950\n") + ScenarioServer(27913, "duplicates = 5\n") +
                      "[server]\naddress = 127.0.0.2:" + std::to_string(DOWN_PORT) + "\ndown = 1\n"),
              "OK");
    ClickUpdate();
    std::string from;
    ASSERT_TRUE(PumpUntil([&from] {
        std::vector<std::string> queries = SimLogOf("query");
        from = queries.empty() ? "" : SimLogField(queries[0], "from");
        return !from.empty();
    }));
    unsigned short queryPort = static_cast<unsigned short>(std::stoi(from.substr(from.find(':') + 1)));
    {
        Flood flood(queryPort);
        ASSERT_EQ(flood.Sockets(), 9u) << flood.Failures();
        // It floods the first pass and its grace wait, and ends as the second pass begins, so that a real reply
        // lost in it is asked for again.
        EXPECT_TRUE(PumpUntil([] { return QueriesTo(27912) >= 2; }));
        flood.Stop();
        EXPECT_GT(flood.Sent(), 1000);
    }
    ASSERT_TRUE(WaitForIdle(20000));
    ExpectSoundEnd(L"Completed. 3 of 5 servers responded.");
    ASSERT_EQ(App().session.shown.count, 5);
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(Text(App().session.shown.At(i).hostname),
                  i == 2 || i == 4 ? L"" : L"Host " + std::to_wstring(27910 + i))
            << i;
    }
    EXPECT_EQ(App().session.shown.At(1).attempts, 3);
    EXPECT_EQ(App().session.shown.At(2).attempts, 3);
    EXPECT_EQ(App().session.shown.At(4).attempts, 3);
}

TEST_F(HostileNetworkTest, MalformedRepliesAreReadWithinTheirLimits) {
    struct Case {
        const char* what;
        std::string raw;
        std::wstring hostname, mapname;
        int maxClients, players;
        std::wstring lastPlayer;
    };
    const std::string head("\xff\xff\xff\xffprint\n", 10);
    static const char WITH_ZEROS[] =
        "\\maxclients\\8\\hostname\\Nul\0Cut\\mapname\\lost\n3 20 \"Ann\0ie\"\n4 30 \"Bob\"\n";
    std::string manyPlayers = head + "\\maxclients\\250\\hostname\\Crowd\n";
    for (int i = 0; i < 200; ++i) {
        manyPlayers += std::to_string(i) + " 10 \"p" + std::to_string(i) + "\"\n";
    }
    const Case cases[] = {
        {"zero bytes end a line's text, and the next line starts after its line feed",
         head + std::string(WITH_ZEROS, sizeof WITH_ZEROS - 1), L"Nul", L"?", 8, 2, L"Bob"},
        {"a line of 3000 characters is cut to 2047",
         head + "\\maxclients\\16\\mapname\\q2dm3\\hostname\\" + std::string(3000, 'H') + "\\gamename\\lost\n7 40 \"" +
             std::string(900, 'N') + "\"\n",
         std::wstring(255, L'H'), L"q2dm3", 16, 1, std::wstring(31, L'N')},
        {"200 player lines keep the first 64", manyPlayers, L"Crowd", L"?", 250, 64, L"p63"},
        {"without a line feed everything is the header", "\xff\xff\xff\xffprint\\hostname\\NoFeed\\maxclients\\8", L"",
         L"?", 0, 0, L""},
    };
    Open();
    std::string scenario;
    for (size_t i = 0; i < std::size(cases); ++i) {
        scenario +=
            "[server]\naddress = 127.0.0.1:" + std::to_string(27910 + i) + "\nraw = " + Quoted(cases[i].raw) + "\n";
    }
    RunToEnd(scenario);
    ExpectSoundEnd(L"Completed. 4 of 4 servers responded.");
    ASSERT_EQ(App().session.shown.count, 4);
    for (size_t i = 0; i < std::size(cases); ++i) {
        SCOPED_TRACE(cases[i].what);
        const ServerRecord& record = App().session.shown.At(i);
        EXPECT_EQ(record.attempts, 1);
        EXPECT_EQ(Text(record.hostname), cases[i].hostname);
        EXPECT_EQ(Text(record.mapname), cases[i].mapname);
        EXPECT_EQ(record.maxClients, cases[i].maxClients);
        ASSERT_EQ(record.playerCount, cases[i].players);
        if (record.playerCount > 0) {
            EXPECT_EQ(Text(record.players[record.playerCount - 1].name), cases[i].lastPlayer);
        }
    }
}

TEST_F(HostileNetworkTest, AFailingOrStallingMasterKeepsThePictureAndAnOverlongListIsCut) {
    const std::string servers = ScenarioServer(27910) + ScenarioServer(27911) + ScenarioServer(27912);
    std::string entries;
    for (int i = 0; i < 50; ++i) {
        entries += Entry(27910) + Entry(27911);
    }
    Open(ScenarioServer(27910) + ScenarioServer(27911));
    ASSERT_EQ(ListRowCount(App().servers.list), 2);
    const ServerTable* table = App().session.shown.table.get();
    ForgetRememberedLists();

    const char* failures[] = {
        "[master]\nrefuse = 1\n",
        "[master]\nstatus = 404\n",
        "[master]\nstatus = 500\n",
        "[master]\nstatus = 204\n",
        "close_after",
    };
    for (const std::string failure : failures) {
        SCOPED_TRACE(failure);
        std::string master = failure;
        if (failure == "close_after") {
            // The whole length is announced, and the connection drops halfway through the body.
            master = "[master]\nbody = " + Quoted(entries) + "\nclose_after = 300\n";
        }
        RunToEnd(master + servers);
        ExpectSoundEnd(FAILURE_TEXT);
        EXPECT_EQ(ListRowCount(App().servers.list), 2);
        EXPECT_EQ(App().session.shown.table.get(), table);
        EXPECT_EQ(App().session.shown.count, 2);
    }

    // A master that stalls without sending a byte. Meanwhile the window answers, and an Abort pressed during the
    // stall ends the run at once: the download is let go, no server is asked, and the picture stays.
    const std::string silent = ScenarioServer(27910, "silent = 1\n") + ScenarioServer(27911, "silent = 1\n");
    ASSERT_EQ(SimLoad("[master]\ndelay_ms = 3000\n" + silent), "OK");
    ClickUpdate();
    ASSERT_TRUE(PumpUntil([] { return !SimLogOf("http").empty(); }));
    EXPECT_TRUE(AnswersFromAnotherThread(App().hMainDlg));
    ClickUpdate();
    ASSERT_TRUE(WaitForIdle(5000));
    EXPECT_EQ(StatusPartText(0), L"Aborted.");
    EXPECT_TRUE(SimLogOf("query").empty());
    EXPECT_EQ(App().session.shown.table.get(), table);

    // Over 64 KiB, the same three servers over and over: what is kept of it still names each of them once.
    std::string longList;
    while (longList.size() < 66000) {
        longList += Entry(27910) + Entry(27911) + Entry(27912);
    }
    RunToEnd("[master]\nbody = " + Quoted(longList) + "\nchunks = 32768\nchunk_delay_ms = 100\n" + servers);
    ExpectSoundEnd(L"Completed. 3 of 3 servers responded.");
}

// A web master that takes the connection and never answers, beside one that does: the good master's servers are
// listed while the run waits for the other, Abort ends the run at once and Update works again, and the window closes
// at once during such a run.
TEST_F(HostileNetworkTest, AMasterThatNeverAnswersHoldsNeitherTheRunNorTheWindow) {
    Open();
    uint16_t port = 0;
    SOCKET listener = ListenOnLoopback(&port); // the system takes the connections; nobody ever reads them
    ASSERT_NE(listener, INVALID_SOCKET);
    MasterEntry hung{MasterKind::Web, u"127.0.0.1", port};
    MasterEntry good{MasterKind::Web, u"127.0.0.1", WEB_MASTER_PORT};
    App().session.config.masters = {hung, good};

    ASSERT_EQ(SimLoad("[master]\n" + ScenarioServer(27910) + ScenarioServer(27911)), "OK");
    ClickUpdate();
    ASSERT_TRUE(PumpUntil([] { return ListRowCount(App().servers.list) == 2; }));
    EXPECT_TRUE(App().session.run.running) << "the run waits for the master that does not answer";
    ClickUpdate();
    ASSERT_TRUE(WaitForIdle(5000));
    ExpectSoundEnd(L"Aborted. 2 of 2 servers responded.");

    App().session.config.masters = {good};
    ASSERT_TRUE(RunUpdateToEnd());
    ExpectSoundEnd(L"Completed. 2 of 2 servers responded.");

    App().session.config.masters = {hung, good};
    ClickUpdate();
    ASSERT_TRUE(PumpUntil([] { return ListRowCount(App().servers.list) == 2; }));
    HWND dialog = App().hMainDlg;
    SendMessageW(dialog, WM_CLOSE, 0, 0);
    EXPECT_FALSE(IsWindow(dialog));
    closesocket(listener);
}

TEST_F(HostileNetworkTest, OddFilterListsStillGiveABoxThatSelectsItsServers) {
    std::string manyPairs;
    for (int i = 0; i < 200; ++i) {
        char pair[32];
        std::snprintf(pair, sizeof pair, "Mod %03d\nmod%03d\n", i, i);
        manyPairs += pair;
    }
    struct Case {
        const char* what;
        std::string text;
        size_t entries;
        std::wstring pick;
        std::string mod;
    };
    const Case cases[] = {
        {"invalid UTF-8", "Bad \xff\xfe name\nbad\xc3\nGood\ngood\nCut \xe2\x82\ncut\xed\xa0\x80\n", 4, L"Good",
         "good"},
        {"an odd line count", "A\na\nB\nb\nC\n", 13, L"CTF", "ctf"},
        {"200 pairs", manyPairs, 64, L"Mod 062", "mod062"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CloseMainWindow();
        Open("[filters]\ntext = " + Quoted(c.text) + "\n" + ScenarioServer(27910, "mod = " + c.mod + "\n") +
             ScenarioServer(27911, "mod = other\n"));
        ExpectSoundEnd(L"Completed. 2 of 2 servers responded.");
        EXPECT_EQ(BoxEntries().size(), c.entries);

        UserSelects(c.pick);
        ASSERT_TRUE(WaitForIdle());
        ExpectSoundEnd(L"Completed. 1 of 1 servers responded.");
        std::vector<std::string> requests = SimLogOf("http");
        ASSERT_FALSE(requests.empty());
        EXPECT_EQ(SimLogField(requests.back(), "target"), "/?mod=" + c.mod + "&raw=2");
    }
    // The valid parts of a name around invalid bytes survive.
    CloseMainWindow();
    Open("[filters]\ntext = " + Quoted(cases[0].text) + "\n");
    std::vector<std::wstring> entries = BoxEntries();
    EXPECT_TRUE(std::any_of(entries.begin(), entries.end(), [](const std::wstring& entry) {
        return entry.rfind(L"Bad ", 0) == 0 && entry.size() > 9 && entry.compare(entry.size() - 5, 5, L" name") == 0;
    })) << testing::PrintToString(entries);
}

} // namespace
