// The update run's engine, natively against the simulator's game servers in-process on loopback: what it reports,
// how it ends, and how its threads meet the thread that takes its reports. The test script also builds and runs
// these under ThreadSanitizer.
#include "net/query_run.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "engine.h"
#include "net/server_table.h"

namespace {

using std::chrono::milliseconds;
using std::chrono::steady_clock;

// Latin-1 stands in for the system's ANSI code page.
void DecodeLatin1(const char* text, char16_t* dest, size_t size) {
    size_t i = 0;
    for (; i + 1 < size && text[i]; ++i) {
        dest[i] = static_cast<unsigned char>(text[i]);
    }
    if (size > 0) {
        dest[i] = 0;
    }
}

std::string Narrow(const std::u16string& text) {
    return std::string(text.begin(), text.end());
}

// What a window does with a run's reports, on the thread that owns it: woken by the run or every 20 ms, it takes
// everything, lets the shown table go when asked and reads every record handed over.
class Taker {
public:
    std::function<void()> Wake() {
        return [this] {
            std::lock_guard<std::mutex> lock(mutex_);
            woken_ = true;
            wake_.notify_one();
        };
    }

    // Applies reports until the run's end; false when it did not come within the time.
    bool TakeUntilEnd(QueryRun& run, milliseconds limit = milliseconds(20000)) {
        auto deadline = steady_clock::now() + limit;
        while (steady_clock::now() < deadline && !leaving_) {
            {
                std::unique_lock<std::mutex> lock(mutex_);
                wake_.wait_for(lock, milliseconds(20), [this] { return woken_; });
                woken_ = false;
            }
            if (Apply(run.Take(), run)) {
                return true;
            }
        }
        return false;
    }

    // Takes on a thread of its own, as the window does while the test drives the run from outside.
    void StartTaking(QueryRun& run) {
        thread_ = std::thread([this, &run] { ended = TakeUntilEnd(run); });
    }
    // Waits for the taking thread to end: at the run's end, or at once with `leave` (the window goes).
    void StopTaking(bool leave = false) {
        leaving_ = leave;
        thread_.join();
    }

    bool Apply(RunReport report, QueryRun& run) {
        if (report.releaseTable) {
            ++releases;
            shown.reset();
            run.AcknowledgeRelease();
        }
        if (report.table) {
            shown = report.table;
            delivered.assign(shown->size(), 0);
        }
        for (int32_t index : report.replies) {
            if (!shown || static_cast<size_t>(index) >= shown->size()) {
                ADD_FAILURE() << "a reply outside the table shown: " << index;
                continue;
            }
            const ServerRecord& record = (*shown)[static_cast<size_t>(index)];
            EXPECT_EQ(record.answered, 1);
            EXPECT_EQ(delivered[static_cast<size_t>(index)]++, 0) << "delivered twice: " << index;
            hostnames.insert(Narrow(record.hostname));
        }
        for (StatusText& text : report.texts) {
            texts.push_back(Narrow(text.text));
        }
        return report.ended;
    }

    std::shared_ptr<ServerTable> shown;
    std::vector<int> delivered;
    std::set<std::string> hostnames;
    std::vector<std::string> texts;
    int releases = 0;
    bool ended = false;

private:
    std::thread thread_;
    std::atomic<bool> leaving_{false};
    std::mutex mutex_;
    std::condition_variable wake_;
    bool woken_ = false;
};

// `count` game servers of the simulator on 127.0.0.1, ports the system picks, each with its own hostname.
class QueryRunTest : public testing::Test {
protected:
    void StartServers(int count, const std::string& keys = "") {
        std::string text = "[master]\n";
        for (int i = 0; i < count; ++i) {
            text += "[server]\naddress = 127.0.0.1:0\nhostname = Host " + std::to_string(i) +
                    "\nplayer = 1 20 \"p\"\n" + keys;
        }
        Scenario scenario;
        std::string error;
        ASSERT_TRUE(ParseScenario(text, &scenario, &error)) << error;
        EngineOptions options;
        options.http = Endpoint{0x7f000001, 0};
        ASSERT_TRUE(engine_.Start(options, std::move(scenario), &error)) << error;
        body_.clear();
        for (const ServerConfig& server : engine_.servers()) {
            uint32_t host = server.address.host;
            uint16_t port = server.address.port;
            body_.insert(body_.end(), {static_cast<unsigned char>(host >> 24), static_cast<unsigned char>(host >> 16),
                                       static_cast<unsigned char>(host >> 8), static_cast<unsigned char>(host),
                                       static_cast<unsigned char>(port >> 8), static_cast<unsigned char>(port)});
        }
    }

    ListFetcher Fetcher() {
        return [this](const RunSnapshot&, std::vector<unsigned char>& body) {
            body = body_;
            return true;
        };
    }

    static RunSnapshot Snapshot(int packetsPerSecond) {
        RunSnapshot snapshot;
        snapshot.packetsPerSecond = packetsPerSecond;
        snapshot.masterHost = u"127.0.0.1";
        snapshot.decodeAnsi = DecodeLatin1;
        return snapshot;
    }

    size_t QueriesLogged() {
        size_t queries = 0;
        for (const std::string& line : log_.Lines()) {
            queries += line.find(" query ") != std::string::npos;
        }
        return queries;
    }

    // Waits, with a deadline, until the simulator's servers have seen `count` queries.
    void AwaitQueries(size_t count) {
        auto deadline = steady_clock::now() + milliseconds(5000);
        while (QueriesLogged() < count && steady_clock::now() < deadline) {
            std::this_thread::yield();
        }
        ASSERT_GE(QueriesLogged(), count);
    }

    EventLog log_;
    Engine engine_{&log_};
    std::vector<unsigned char> body_;
};

TEST_F(QueryRunTest, AFullRunDeliversEveryReplyOnceAndClosesWithTheCount) {
    StartServers(300);
    Taker taker;
    QueryRun run(Snapshot(100000), Fetcher(), taker.Wake());
    ASSERT_TRUE(run.Started());
    ASSERT_TRUE(taker.TakeUntilEnd(run));
    EXPECT_EQ(taker.releases, 1);
    ASSERT_TRUE(taker.shown);
    EXPECT_EQ(taker.shown->size(), 300u);
    EXPECT_EQ(taker.hostnames.size(), 300u);
    EXPECT_EQ(CountUnanswered(*taker.shown), 0);
    ASSERT_FALSE(taker.texts.empty());
    EXPECT_EQ(taker.texts.front(), "Fetching 127.0.0.1 server list...");
    EXPECT_EQ(taker.texts.back(), "Completed. 300 of 300 servers responded.");
    EXPECT_TRUE(run.WaitFinished(1000));
    for (const ServerRecord& record : *taker.shown) {
        EXPECT_EQ(record.attempts, 1) << "answered at the first query";
        EXPECT_EQ(record.playerCount, 1);
    }
}

TEST_F(QueryRunTest, AnAbortInMidRunEndsItAtOnceWithWhatAnswered) {
    StartServers(40, "silent = 1\n");
    Taker taker;
    QueryRun run(Snapshot(20), Fetcher(), taker.Wake());
    taker.StartTaking(run);
    AwaitQueries(3);
    run.Abort();
    auto aborted = steady_clock::now();
    taker.StopTaking();
    ASSERT_TRUE(taker.ended);
    EXPECT_LT(steady_clock::now() - aborted, milliseconds(1000));
    EXPECT_EQ(taker.texts.back(), "Aborted. 0 of 40 servers responded.");
    EXPECT_LT(QueriesLogged(), 40u);
}

TEST_F(QueryRunTest, ASecondRunStartedWhileTheFirstOnesRepliesArriveTakesOnlyItsOwn) {
    StartServers(50, "delay_ms = 150\n");
    Taker first;
    auto run = std::make_unique<QueryRun>(Snapshot(100000), Fetcher(), first.Wake());
    first.StartTaking(*run);
    AwaitQueries(50);
    run->Abort();
    first.StopTaking();
    ASSERT_TRUE(first.ended);
    run.reset(); // its socket is closed; its replies are still on their way

    // The new run's taker still holds the first run's table until the new one asks for it.
    Taker second;
    second.shown = first.shown;
    first.shown.reset();
    std::weak_ptr<ServerTable> firstTable = second.shown;
    QueryRun again(Snapshot(100000), Fetcher(), second.Wake());
    ASSERT_TRUE(second.TakeUntilEnd(again));
    EXPECT_TRUE(firstTable.expired());
    EXPECT_EQ(second.texts.back(), "Completed. 50 of 50 servers responded.");
    EXPECT_EQ(second.hostnames.size(), 50u);
}

TEST_F(QueryRunTest, RecordsAreReadWhileTheNextRunReplacesTheTable) {
    StartServers(100);
    Taker taker;
    {
        QueryRun run(Snapshot(100000), Fetcher(), taker.Wake());
        ASSERT_TRUE(taker.TakeUntilEnd(run));
    }
    // A reader of the shown table (the window painting it) on its own thread while the next run starts, right up to
    // the moment the taker lets the table go.
    std::shared_ptr<ServerTable> table = taker.shown;
    std::atomic<bool> stop{false};
    std::thread painter([table, &stop] {
        size_t players = 0;
        while (!stop) {
            for (const ServerRecord& record : *table) {
                players += static_cast<size_t>(record.playerCount) + record.hostname[0];
            }
        }
        EXPECT_GT(players, 0u);
    });
    QueryRun next(Snapshot(100000), Fetcher(), taker.Wake());
    ASSERT_TRUE(taker.TakeUntilEnd(next));
    stop = true;
    painter.join();
    EXPECT_EQ(taker.texts.back(), "Completed. 100 of 100 servers responded.");
    EXPECT_NE(taker.shown, table);
}

TEST_F(QueryRunTest, ExitDuringARunAbortsItAndAHangingDownloadIsLeftToEndOnItsOwn) {
    StartServers(30, "silent = 1\n");
    {
        Taker taker;
        QueryRun run(Snapshot(10), Fetcher(), taker.Wake());
        taker.StartTaking(run);
        AwaitQueries(1);
        // The window goes: it takes nothing more, and the run is stopped without its last reports being taken.
        taker.StopTaking(true);
        EXPECT_TRUE(run.Stop(2000));
    }

    // A download that will not end while the window closes: the handle does not wait for it.
    std::mutex mutex;
    std::condition_variable released;
    bool release = false;
    std::atomic<bool> fetcherDone{false};
    auto start = steady_clock::now();
    {
        Taker taker;
        QueryRun run(
            Snapshot(10),
            [&](const RunSnapshot&, std::vector<unsigned char>&) {
                {
                    std::unique_lock<std::mutex> lock(mutex);
                    released.wait(lock, [&] { return release; });
                }
                fetcherDone = true; // nothing of this test is touched after this
                return false;
            },
            taker.Wake());
        EXPECT_FALSE(run.Stop(100));
    }
    EXPECT_LT(steady_clock::now() - start, milliseconds(2000));
    {
        std::lock_guard<std::mutex> lock(mutex);
        release = true;
        released.notify_all();
    }
    auto deadline = steady_clock::now() + milliseconds(2000);
    while (!fetcherDone && steady_clock::now() < deadline) {
        std::this_thread::yield();
    }
    EXPECT_TRUE(fetcherDone);
}

} // namespace
