// The query engine through real update runs against the simulator's game servers on loopback.
#include <windows.h>
#include <malloc.h>
#include <tlhelp32.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "core/worker/worker.h"
#include "harness.h"
#include "servers.h"
#include "simulator_client.h"

namespace {

using Lines = std::vector<std::wstring>;

int ThreadsOfThisProcess() {
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    THREADENTRY32 entry{};
    entry.dwSize = sizeof entry;
    int count = 0;
    for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry)) {
        count += entry.th32OwnerProcessID == GetCurrentProcessId();
    }
    CloseHandle(snapshot);
    return count;
}

class QueryEngineTest : public OpenWindowTest {
protected:
    // Loads the scenario and runs an update at the given rate to its end; returns the closing status line.
    std::wstring Run(const std::string& scenario, int packetsPerSecond) {
        EXPECT_EQ(SimLoad(scenario), "OK");
        App().session.config.packetsPerSecond = packetsPerSecond;
        RecordStatusLine();
        EXPECT_TRUE(RunUpdateToEnd());
        return StatusPartText(0);
    }

    // Starts a run and returns once the simulator has seen `queries` queries, leaving the run going.
    void StartAndAwaitQueries(const std::string& scenario, int packetsPerSecond, size_t queries) {
        ASSERT_EQ(SimLoad(scenario), "OK");
        App().session.config.packetsPerSecond = packetsPerSecond;
        RecordStatusLine();
        ClickUpdate();
        ASSERT_TRUE(PumpUntil([queries] { return SimLogOf("query").size() >= queries; }));
    }

    static std::wstring AbortAndAwaitEnd() {
        ClickUpdate();
        EXPECT_TRUE(WaitForIdle());
        return StatusPartText(0);
    }

    // Lets the engine run on for a while; used only to be well inside a wait of 1000 ms.
    static void PumpFor(DWORD ms) {
        PumpUntil([] { return false; }, ms);
    }
};

TEST_F(QueryEngineTest, QueriesArePacedAtTheConfiguredRate) {
    EXPECT_EQ(Run(ScenarioServers(5), 10), L"Completed. 5 of 5 servers responded.");
    std::vector<std::string> queries = SimLogOf("query");
    ASSERT_EQ(queries.size(), 5u);
    for (size_t i = 1; i < queries.size(); ++i) {
        long long gapUs = SimLogTime(queries[i]) - SimLogTime(queries[i - 1]);
        // The engine never sends two closer than the interval less its clock's millisecond; the simulator stamps
        // their arrival in a process of its own, which a busy machine may run a few milliseconds late.
        EXPECT_GE(gapUs, 90000) << "query " << i;
        EXPECT_LT(gapUs, 400000) << "query " << i;
    }

    // Above 1000 per second the engine does not wait between queries at all. The replies are held back until
    // every query is out, so that listing them does not slow the sending down.
    EXPECT_EQ(Run(ScenarioServers(10, "delay_ms = 300\n"), 100000), L"Completed. 10 of 10 servers responded.");
    queries = SimLogOf("query");
    ASSERT_EQ(queries.size(), 10u) << "every server answered its first query";
    EXPECT_LT(SimLogTime(queries.back()) - SimLogTime(queries.front()), 90000);
    EXPECT_EQ(ListRowCount(App().servers.list), 10);
    EXPECT_EQ(StatusPartText(2), L"10 Servers");
    EXPECT_EQ(StatusPartText(1), L"10 Players");
}

TEST_F(QueryEngineTest, PingsRunFromQueryToArrivalEvenWhileTheWindowIsBusy) {
    const int delays[] = {0, 20, 50, 150, 0, 20, 50, 150};
    std::string scenario;
    for (int i = 0; i < 8; ++i) {
        scenario += ScenarioServer(27910 + i, "delay_ms = " + std::to_string(delays[i]) + "\n");
    }
    StartAndAwaitQueries(scenario, 100000, 8);
    // Every reply arrives while this thread, the window's, does nothing; none may be stamped only when it is free.
    Sleep(300);
    ASSERT_TRUE(WaitForIdle());
    EXPECT_EQ(StatusPartText(0), L"Completed. 8 of 8 servers responded.");
    for (int i = 0; i < 8; ++i) {
        SCOPED_TRACE(i);
        EXPECT_GE(App().session.shown.At(i).ping, static_cast<uint32_t>(delays[i]));
        EXPECT_LT(App().session.shown.At(i).ping, static_cast<uint32_t>(delays[i] + 100));
    }
}

TEST_F(QueryEngineTest, ASilentServerIsAskedThreeTimesThenTheRunCloses) {
    int threadsBefore = ThreadsOfThisProcess();
    EXPECT_EQ(Run(ScenarioServer(27910, "silent = 1\n"), 1000), L"Completed. 0 of 1 servers responded.");
    const Lines& lines = RecordedStatusLines();
    auto at = [&lines](const wchar_t* text) { return std::find(lines.begin(), lines.end(), text); };
    auto first = at(L"Querying 127.0.0.1:27910...");
    auto second = at(L"Retrying 127.0.0.1:27910 (attempt 2)...");
    auto third = at(L"Retrying 127.0.0.1:27910 (attempt 3)...");
    ASSERT_NE(third, lines.end());
    EXPECT_TRUE(first < second && second < third);
    EXPECT_EQ(QueriesTo(27910), 3u);
    EXPECT_EQ(App().session.shown.At(0).attempts, 3);

    // The run, with its socket and threads, is gone once it has ended.
    EXPECT_EQ(App().session.run.handle, nullptr);
    EXPECT_TRUE(PumpUntil([threadsBefore] { return ThreadsOfThisProcess() <= threadsBefore; }, 2000));
}

TEST_F(QueryEngineTest, AFailedSendIsReportedAndRetriedLikeASilence) {
    // A master list naming the loopback network's broadcast address, which the system keeps as one: the socket may
    // not send there. (The limited broadcast address 255.255.255.255 names no game server and is never asked.)
    EXPECT_EQ(Run("[master]\nbody = \"\\x7f\\xff\\xff\\xff\\x6d\\x06\"\n", 1000),
              L"Completed. 0 of 1 servers responded.");
    const Lines& lines = RecordedStatusLines();
    EXPECT_EQ(std::count(lines.begin(), lines.end(), L"Can't send: error 10013"), 3);
    EXPECT_EQ(std::count(lines.begin(), lines.end(), L"Retrying 127.255.255.255:27910 (attempt 3)..."), 1);
    ASSERT_EQ(App().session.shown.count, 1);
    EXPECT_EQ(App().session.shown.At(0).attempts, 3);
}

TEST_F(QueryEngineTest, AbortDuringAPacingWaitEndsTheRunAtOnce) {
    StartAndAwaitQueries(ScenarioServers(2, "silent = 1\n"), 1, 1);
    EXPECT_EQ(AbortAndAwaitEnd(), L"Aborted. 0 of 2 servers responded.");
    EXPECT_EQ(SimLogOf("query").size(), 1u);
}

TEST_F(QueryEngineTest, AbortDuringAGraceWaitSendsOneMoreQuery) {
    StartAndAwaitQueries(ScenarioServer(27910, "silent = 1\n"), 1000, 1);
    PumpFor(300);
    EXPECT_EQ(AbortAndAwaitEnd(), L"Aborted. 0 of 1 servers responded.");
    EXPECT_EQ(QueriesTo(27910), 2u);
    EXPECT_EQ(RecordedStatusLines().end()[-2], L"Retrying 127.0.0.1:27910 (attempt 2)...");
}

// An abort while the list downloads cancels the download: the run ends at once, asks no server, and leaves the
// table shown as it was; the next Update works as ever.
TEST_F(QueryEngineTest, AbortDuringTheDownloadEndsTheRunAtOnceAndAsksNoServer) {
    ASSERT_EQ(SimLoad("[master]\ndelay_ms = 800\n" + ScenarioServers(2, "silent = 1\n")), "OK");
    App().session.config.packetsPerSecond = 1000;
    std::shared_ptr<ServerTable> shown = App().session.shown.table;
    ClickUpdate();
    ASSERT_TRUE(PumpUntil([] { return !SimLogOf("http").empty(); }));
    EXPECT_EQ(AbortAndAwaitEnd(), L"Aborted.");
    EXPECT_TRUE(SimLogOf("query").empty());
    EXPECT_EQ(App().session.shown.table, shown);
    EXPECT_EQ(Run(ScenarioServers(2, "silent = 1\n"), 1000), L"Completed. 0 of 2 servers responded.");
}

TEST_F(QueryEngineTest, AReplyDuringTheLastGraceWaitIsCounted) {
    EXPECT_EQ(Run(ScenarioServer(27910, "answer_from = 3\ndelay_ms = 300\n"), 1000),
              L"Completed. 1 of 1 servers responded.");
    EXPECT_EQ(QueriesTo(27910), 3u);
    EXPECT_EQ(ListRowCount(App().servers.list), 1);
}

TEST_F(QueryEngineTest, StrayRepeatedEmptyAndOversizeDatagramsChangeNothing) {
    std::string scenario = ScenarioServer(27910, "duplicates = 3\n") + ScenarioServer(27911, "reply_port = 27950\n") +
                           ScenarioServer(27912, "oversize = 1\n") + ScenarioServer(27913, "raw = \"\"\n");
    EXPECT_EQ(Run(scenario, 1000), L"Completed. 1 of 4 servers responded.");
    EXPECT_EQ(ListRowCount(App().servers.list), 1);
    EXPECT_EQ(StatusPartText(1), L"1 Player");
    ASSERT_EQ(App().session.shown.count, 4);
    EXPECT_EQ(App().session.shown.At(0).attempts, 1);
    for (int i = 1; i < 4; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(App().session.shown.At(i).answered, 0);
        EXPECT_EQ(App().session.shown.At(i).attempts, 3);
        EXPECT_EQ(App().session.shown.At(i).hostname[0], 0);
    }
    EXPECT_FALSE(SimLogOf("reply").empty());
}

// A master whose name fails at once ends its worker as soon as it starts, as on any offline machine. Thousands of
// such workers, with allocations going on beside them, each run once and leave the C runtime's heap sound: a worker
// detached only once it ran had its thread's record taken back while the thread was still on its way out, which now
// and then left another thread's state freed under it.
TEST(Workers, ManyThatEndAtOnceEachRunOnceAndLeaveTheHeapSound) {
    constexpr int WORKERS = 10000;
    auto ran = std::make_shared<std::atomic<int>>(0);
    for (int i = 0; i < WORKERS; ++i) {
        auto name = std::make_shared<std::u16string>(u"master.invalid, which failed at once");
        ASSERT_TRUE(StartWorker([ran, name] { ++*ran; }));
        std::vector<std::unique_ptr<std::string>> beside;
        for (int j = 0; j < 8; ++j) {
            beside.push_back(std::make_unique<std::string>(40, 'x'));
        }
    }
    EXPECT_TRUE(PumpUntil([ran] { return *ran == WORKERS; }, 20000));
    EXPECT_EQ(_heapchk(), _HEAPOK);
}

} // namespace
