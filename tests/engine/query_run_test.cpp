// The update run's engine, natively against the simulator's game servers in-process on loopback: what it reports,
// how it ends, and how its threads meet the thread that takes its reports. The test script also builds and runs
// these under ThreadSanitizer.
#include "core/run/run_handle.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "core/run/run_status.h"
#include "core/run/server_table.h"
#include "core/run/udp_master.h"
#include "core/settings/remembered_list.h"
#include "engine.h"
#include "latin1.h"

namespace {

using std::chrono::milliseconds;
using std::chrono::steady_clock;

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
    bool TakeUntilEnd(RunHandle& run, milliseconds limit = milliseconds(20000)) {
        auto deadline = steady_clock::now() + limit;
        while (steady_clock::now() < deadline && !leaving_) {
            {
                std::unique_lock<std::mutex> lock(mutex_);
                wake_.wait_for(lock, milliseconds(20), [this] { return woken_; });
                woken_ = false;
            }
            if (Apply(run.Take(), RunStatus(run.Masters()))) {
                return true;
            }
        }
        return false;
    }

    // Takes on a thread of its own, as the window does while the test drives the run from outside.
    void StartTaking(RunHandle& run) {
        thread_ = std::thread([this, &run] { ended = TakeUntilEnd(run); });
    }
    // Waits for the taking thread to end: at the run's end, or at once with `leave` (the window goes).
    void StopTaking(bool leave = false) {
        leaving_ = leave;
        thread_.join();
    }

    // Takes a report as the window does: the table, the replies, and the texts the status line would say.
    bool Apply(RunReport report, const RunStatus& status) {
        if (report.table) {
            ++tables;
            shown = report.table;
            delivered.clear();
        }
        for (const RunEvent& event : report.events) {
            const auto* answered = std::get_if<run_event::Answered>(&event);
            if (!answered) {
                continue;
            }
            int32_t index = answered->index;
            if (!shown || static_cast<size_t>(index) >= shown->size()) {
                ADD_FAILURE() << "a reply outside the table shown: " << index;
                continue;
            }
            delivered.resize(std::max(delivered.size(), static_cast<size_t>(index) + 1), 0);
            const ServerRecord& record = (*shown)[static_cast<size_t>(index)];
            EXPECT_EQ(record.answered, 1);
            EXPECT_EQ(delivered[static_cast<size_t>(index)]++, 0) << "delivered twice: " << index;
            hostnames.insert(Narrow(record.hostname));
        }
        std::lock_guard<std::mutex> lock(textsMutex_);
        for (StatusText& text : status.Texts(report, shown.get())) {
            texts.push_back(Narrow(text.text));
        }
        return report.end.has_value();
    }

    bool Said(const std::string& text) {
        std::lock_guard<std::mutex> lock(textsMutex_);
        return std::find(texts.begin(), texts.end(), text) != texts.end();
    }

    std::shared_ptr<ServerTable> shown;
    std::vector<int> delivered;
    std::set<std::string> hostnames;
    std::vector<std::string> texts;
    int tables = 0;
    bool ended = false;

private:
    std::thread thread_;
    std::atomic<bool> leaving_{false};
    std::mutex mutex_;
    std::mutex textsMutex_; // the texts are read from the test's thread while the taker's adds to them
    std::condition_variable wake_;
    bool woken_ = false;
};

// A classic master on loopback: answers each `query\n\0` with its datagrams, from its own port or, playing a
// confused or forged master, from another socket's.
class FakeUdpMaster {
public:
    explicit FakeUdpMaster(std::vector<std::string> datagrams, bool fromAnotherPort = false)
        : datagrams_(std::move(datagrams)) {
        socket_ = BoundSocket(port_);
        uint16_t unused = 0;
        sender_ = fromAnotherPort ? BoundSocket(unused) : socket_;
        thread_ = std::thread([this] { Serve(); });
    }
    ~FakeUdpMaster() {
        stop_ = true;
        thread_.join();
        if (sender_ != socket_) {
            close(sender_);
        }
        close(socket_);
    }
    MasterEntry Entry() const { return MasterEntry{MasterKind::Udp, u"127.0.0.1", port_}; }
    int queries() const { return queries_; }

private:
    static int BoundSocket(uint16_t& port) {
        int fd = socket(AF_INET, SOCK_DGRAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof address;
        EXPECT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&address), size), 0);
        getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size);
        port = ntohs(address.sin_port);
        return fd;
    }
    void Serve() {
        while (!stop_) {
            pollfd ready{socket_, POLLIN, 0};
            if (poll(&ready, 1, 20) <= 0) {
                continue;
            }
            char query[64];
            sockaddr_in from{};
            socklen_t size = sizeof from;
            ssize_t got = recvfrom(socket_, query, sizeof query, 0, reinterpret_cast<sockaddr*>(&from), &size);
            if (got != 7 || std::string(query, 7) != std::string("query\n\0", 7)) {
                continue;
            }
            ++queries_;
            for (const std::string& datagram : datagrams_) {
                sendto(sender_, datagram.data(), datagram.size(), 0, reinterpret_cast<sockaddr*>(&from), size);
            }
        }
    }

    std::vector<std::string> datagrams_;
    int socket_ = -1;
    int sender_ = -1;
    uint16_t port_ = 0;
    std::atomic<bool> stop_{false};
    std::atomic<int> queries_{0};
    std::thread thread_;
};

// A remembered list kept in memory, as the program keeps it in a file.
struct MemoryStore {
    std::mutex mutex;
    std::vector<unsigned char> file;
    bool present = false;

    RememberedStore Store() {
        return RememberedStore{[this](const std::u16string&, std::vector<unsigned char>& bytes) {
                                   std::lock_guard<std::mutex> lock(mutex);
                                   bytes = file;
                                   return present;
                               },
                               [this](const std::u16string&, const std::vector<unsigned char>& bytes) {
                                   std::lock_guard<std::mutex> lock(mutex);
                                   file = bytes;
                                   present = true;
                               }};
    }
};

// Answers that an offline machine gives late: a resolver and a lister of networks that hold every call until the
// test answers. What the calls share lives as long as the last of them, so one still held when its test is over does
// no harm.
class HeldAnswers {
public:
    HostResolver Resolver() const {
        std::shared_ptr<Held> held = held_;
        return [held](const std::string&, uint32_t& addr) {
            held->AwaitAnswer();
            std::lock_guard<std::mutex> lock(held->mutex);
            addr = held->addr;
            return held->error;
        };
    }
    LocalNetworkLister Lister(std::vector<LocalNetwork> networks) const {
        std::shared_ptr<Held> held = held_;
        return [held, networks] {
            held->AwaitAnswer();
            return networks;
        };
    }
    // Waits, with a deadline, until `count` calls have begun.
    bool AwaitAsked(int count) const {
        std::unique_lock<std::mutex> lock(held_->mutex);
        return held_->changed.wait_for(lock, milliseconds(5000), [&] { return held_->asked >= count; });
    }
    // Every call held, and every later one, ends: a look-up finds `addr` (error 0) or fails with `error`.
    void Answer(int error, uint32_t addr) const {
        std::lock_guard<std::mutex> lock(held_->mutex);
        held_->answered = true;
        held_->error = error;
        held_->addr = addr;
        held_->changed.notify_all();
    }

private:
    struct Held {
        void AwaitAnswer() {
            std::unique_lock<std::mutex> lock(mutex);
            ++asked;
            changed.notify_all();
            changed.wait(lock, [&] { return answered; });
        }

        std::mutex mutex;
        std::condition_variable changed;
        int asked = 0;         // under mutex
        bool answered = false; // under mutex
        int error = 0;         // under mutex
        uint32_t addr = 0;     // under mutex
    };
    const std::shared_ptr<Held> held_ = std::make_shared<Held>();
};

// Waits, with a deadline, until the run's threads have ended.
bool AwaitFinished(const RunHandle& run) {
    auto deadline = steady_clock::now() + milliseconds(2000);
    while (!run.Finished() && steady_clock::now() < deadline) {
        std::this_thread::sleep_for(milliseconds(1));
    }
    return run.Finished();
}

bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

// `count` game servers of the simulator on 127.0.0.1, ports the system picks, each with its own hostname.
class QueryRunTest : public testing::Test {
protected:
    void StartServers(int count, const std::string& keys = "") {
        StartServersAt(std::vector<std::string>(static_cast<size_t>(count), "127.0.0.1:0"), keys);
    }
    // One server at each address (a port 0: the system picks).
    void StartServersAt(const std::vector<std::string>& addresses, const std::string& keys = "") {
        std::string text = "[master]\n";
        for (size_t i = 0; i < addresses.size(); ++i) {
            text += "[server]\naddress = " + addresses[i] + "\nhostname = Host " + std::to_string(i) +
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

    // The 6-byte entries of servers [from, to) of the last StartServers.
    std::vector<unsigned char> Entries(size_t from, size_t to) const {
        return std::vector<unsigned char>(body_.begin() + static_cast<std::ptrdiff_t>(from * 6),
                                          body_.begin() + static_cast<std::ptrdiff_t>(to * 6));
    }
    // A `servers` datagram of servers [from, to).
    std::string ServersDatagram(size_t from, size_t to) const {
        std::vector<unsigned char> entries = Entries(from, to);
        return std::string("\xff\xff\xff\xffservers ") + std::string(entries.begin(), entries.end());
    }
    // Which of the last StartServers' servers a record is.
    size_t ServerIndex(const ServerRecord& record) const {
        for (size_t i = 0; i * 6 < body_.size(); ++i) {
            FavouriteServer server = Server(i);
            if (server.addr == record.addr && server.port == record.port) {
                return i;
            }
        }
        ADD_FAILURE() << "a record of no server";
        return body_.size();
    }
    FavouriteServer Server(size_t index) const {
        uint32_t addr;
        std::memcpy(&addr, body_.data() + index * 6, 4);
        return FavouriteServer{addr, static_cast<uint16_t>(body_[index * 6 + 4] << 8 | body_[index * 6 + 5])};
    }

    ListFetcher Fetcher() {
        return [this](const std::u16string&, const MasterEntry&, std::vector<unsigned char>& body, DownloadCancel&) {
            body = body_;
            return ListDownload::Listed;
        };
    }

    // A web master that is never reached.
    static ListFetcher FailingFetcher() {
        return [](const std::u16string&, const MasterEntry&, std::vector<unsigned char>&, DownloadCancel&) {
            return ListDownload::Failed;
        };
    }

    // The one built-in web master, as a run asks it by default.
    static RunSnapshot Snapshot(int packetsPerSecond) {
        RunSnapshot snapshot;
        snapshot.packetsPerSecond = packetsPerSecond;
        snapshot.masters = {MasterEntry{MasterKind::Web, u"127.0.0.1", WEB_MASTER_PORT}};
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
    RunHandle run(Snapshot(100000), Fetcher(), RememberedStore{}, taker.Wake());
    ASSERT_TRUE(run.Started());
    ASSERT_TRUE(taker.TakeUntilEnd(run));
    EXPECT_EQ(taker.tables, 1);
    ASSERT_TRUE(taker.shown);
    EXPECT_EQ(taker.shown->size(), 300u);
    EXPECT_EQ(taker.hostnames.size(), 300u);
    ASSERT_FALSE(taker.texts.empty());
    EXPECT_EQ(taker.texts.front(), "Fetching 127.0.0.1 server list...");
    EXPECT_EQ(taker.texts.back(), "Completed. 300 of 300 servers responded.");
    EXPECT_TRUE(AwaitFinished(run));
    for (size_t i = 0; i < taker.shown->size(); ++i) {
        EXPECT_EQ((*taker.shown)[i].answered, 1);
        EXPECT_EQ((*taker.shown)[i].attempts, 1) << "answered at the first query";
        EXPECT_EQ((*taker.shown)[i].playerCount, 1);
    }
}

TEST_F(QueryRunTest, AnAbortInMidRunEndsItAtOnceWithWhatAnswered) {
    StartServers(40, "silent = 1\n");
    Taker taker;
    RunHandle run(Snapshot(20), Fetcher(), RememberedStore{}, taker.Wake());
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
    auto run = std::make_unique<RunHandle>(Snapshot(100000), Fetcher(), RememberedStore{}, first.Wake());
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
    RunHandle again(Snapshot(100000), Fetcher(), RememberedStore{}, second.Wake());
    ASSERT_TRUE(second.TakeUntilEnd(again));
    EXPECT_TRUE(firstTable.expired());
    EXPECT_EQ(second.texts.back(), "Completed. 50 of 50 servers responded.");
    EXPECT_EQ(second.hostnames.size(), 50u);
}

TEST_F(QueryRunTest, RecordsAreReadWhileTheNextRunReplacesTheTable) {
    StartServers(100);
    Taker taker;
    {
        RunHandle run(Snapshot(100000), Fetcher(), RememberedStore{}, taker.Wake());
        ASSERT_TRUE(taker.TakeUntilEnd(run));
    }
    // A reader of the shown table (the window painting it) on its own thread while the next run starts, right up to
    // the moment the taker lets the table go.
    std::shared_ptr<ServerTable> table = taker.shown;
    std::atomic<bool> stop{false};
    std::thread painter([table, &stop] {
        size_t players = 0;
        while (!stop) {
            for (size_t i = 0; i < table->size(); ++i) {
                players += static_cast<size_t>((*table)[i].playerCount) + (*table)[i].hostname[0];
            }
        }
        EXPECT_GT(players, 0u);
    });
    RunHandle next(Snapshot(100000), Fetcher(), RememberedStore{}, taker.Wake());
    ASSERT_TRUE(taker.TakeUntilEnd(next));
    stop = true;
    painter.join();
    EXPECT_EQ(taker.texts.back(), "Completed. 100 of 100 servers responded.");
    EXPECT_NE(taker.shown, table);
}

TEST_F(QueryRunTest, LettingGoOfARunAbortsItAndCancelsItsDownloadWithoutWaitingForIt) {
    StartServers(30, "silent = 1\n");
    {
        Taker taker;
        auto run = std::make_unique<RunHandle>(Snapshot(10), Fetcher(), RememberedStore{}, taker.Wake());
        taker.StartTaking(*run);
        AwaitQueries(1);
        // The window goes: it takes nothing more and lets the run go without its last reports being taken.
        taker.StopTaking(true);
        std::weak_ptr<ServerTable> table = taker.shown;
        taker.shown.reset();
        run.reset();
        // The run still holds its table until it has ended on its own, which it does at once.
        auto deadline = steady_clock::now() + milliseconds(2000);
        while (!table.expired() && steady_clock::now() < deadline) {
            std::this_thread::sleep_for(milliseconds(5));
        }
        EXPECT_TRUE(table.expired());
    }

    // A download that ends only when it is cancelled, and one that never heeds it: neither holds the window.
    std::mutex mutex;
    std::condition_variable released;
    bool release = false;
    std::atomic<int> cancelled{0};
    std::atomic<int> fetchersDone{0};
    auto fetcher = [&](const std::u16string&, const MasterEntry& master, std::vector<unsigned char>&,
                       DownloadCancel& cancel) {
        bool heedsCancel = master.port == WEB_MASTER_PORT;
        // A run cancelled before the download began refuses to arm it.
        if (heedsCancel && !cancel.Arm([&] {
                std::lock_guard<std::mutex> lock(mutex);
                ++cancelled;
                released.notify_all();
            })) {
            ++cancelled;
        }
        {
            std::unique_lock<std::mutex> lock(mutex);
            released.wait(lock, [&] { return release || (heedsCancel && cancelled > 0); });
        }
        cancel.Disarm();
        ++fetchersDone; // nothing of this test is touched after this
        return ListDownload::Failed;
    };
    RunSnapshot snapshot = Snapshot(10);
    snapshot.masters.push_back(MasterEntry{MasterKind::Web, u"127.0.0.1", 8080});
    Taker taker;
    auto run = std::make_unique<RunHandle>(snapshot, fetcher, RememberedStore{}, taker.Wake());
    taker.StartTaking(*run);
    run->Abort();
    taker.StopTaking();
    ASSERT_TRUE(taker.ended) << "an abort ends the run though a download hangs";
    EXPECT_EQ(taker.texts.back(), "Aborted.");
    // The run did not wait for its masters' workers: the one that heeds a cancel is cancelled when it gets going.
    auto cancelDeadline = steady_clock::now() + milliseconds(2000);
    while (cancelled == 0 && steady_clock::now() < cancelDeadline) {
        std::this_thread::yield();
    }
    EXPECT_EQ(cancelled, 1);
    run.reset();
    {
        std::lock_guard<std::mutex> lock(mutex);
        release = true;
        released.notify_all();
    }
    auto deadline = steady_clock::now() + milliseconds(2000);
    while (fetchersDone < 2 && steady_clock::now() < deadline) {
        std::this_thread::yield();
    }
    EXPECT_EQ(fetchersDone, 2);
}

// An offline machine looks a classic master's name up for seconds, and the user may abort the run or close the
// window meanwhile; the LAN's networks may be listed late too. Whatever the late answers say, the master's and the
// LAN's workers end on their own without sending a datagram, and the run's last thread lets go of everything the run
// held; ThreadSanitizer watches the late answers meet the run's end and the taker's.
TEST_F(QueryRunTest, WorkersAnsweredLateAfterTheirRunEndedEndOnTheirOwn) {
    // On loopback the LAN's "broadcast" address is a server's own, on a port the search asks (as in the LAN test).
    StartServersAt({"127.0.0.66:27913", "127.0.0.1:0"});
    FakeUdpMaster master({ServersDatagram(0, 1)});
    const uint32_t slash30 = 0xfcffffff; // 255.255.255.252 in network byte order
    const std::vector<LocalNetwork> lan = {{0x4100007f, slash30, Server(0).addr}}; // 127.0.0.64/30
    for (int round = 0; round < 8; ++round) {
        bool letGo = round % 2 == 1; // the window goes; else its run is aborted and the end taken
        bool found = round % 4 >= 2; // the late answer is the master's address; else the name has none
        bool withLan = round >= 4;   // the LAN is searched too, its networks listed late
        SCOPED_TRACE("round " + std::to_string(round));
        HeldAnswers late;
        std::weak_ptr<int> runHeld;
        {
            auto token = std::make_shared<int>(0);
            runHeld = token;
            RunSnapshot snapshot = Snapshot(100000);
            snapshot.masters = {MasterEntry{MasterKind::Udp, u"master.invalid", master.Entry().port}};
            snapshot.favourites = {Server(1)};
            snapshot.resolveHost = [token, resolve = late.Resolver()](const std::string& host, uint32_t& addr) {
                return resolve(host, addr);
            };
            if (withLan) {
                snapshot.lanNetworks = late.Lister(lan);
            }
            Taker taker;
            auto run =
                std::make_unique<RunHandle>(std::move(snapshot), FailingFetcher(), RememberedStore{}, taker.Wake());
            taker.StartTaking(*run);
            ASSERT_TRUE(late.AwaitAsked(withLan ? 2 : 1));
            if (letGo) {
                // The window goes without taking the run's end, which comes all the same.
                taker.StopTaking(true);
                run->Abort();
                ASSERT_TRUE(AwaitFinished(*run));
            } else {
                run->Abort();
                taker.StopTaking();
                ASSERT_TRUE(taker.ended);
                EXPECT_EQ(taker.texts.back().rfind("Aborted.", 0), 0u) << taker.texts.back();
            }
            run.reset();
        }
        late.Answer(found ? 0 : EAI_NONAME, htonl(INADDR_LOOPBACK));
        auto deadline = steady_clock::now() + milliseconds(5000);
        while (!runHeld.expired() && steady_clock::now() < deadline) {
            std::this_thread::sleep_for(milliseconds(2));
        }
        EXPECT_TRUE(runHeld.expired()) << "the run's workers have all ended";
    }
    EXPECT_EQ(master.queries(), 0) << "an ended run asks no master";
    size_t broadcasts = 0;
    for (const std::string& line : log_.Lines()) {
        broadcasts += line.find("query server=127.0.0.66:27913 ") != std::string::npos;
    }
    EXPECT_EQ(broadcasts, 0u) << "nor searches the LAN";
}

// More servers than a run holds: it asks those it holds and says so, and holds records only for those it asked.
TEST_F(QueryRunTest, AListLongerThanARunHoldsIsCutAndTheLineSaysSo) {
    std::vector<unsigned char> body;
    for (uint32_t i = 0; i < MAX_RUN_SERVERS + 10; ++i) {
        uint32_t host = 0x7f000001 + (i >> 15);
        uint16_t port = static_cast<uint16_t>(20000 + (i & 0x7fff));
        body.insert(body.end(), {0x7f, static_cast<unsigned char>(host >> 16), static_cast<unsigned char>(host >> 8),
                                 static_cast<unsigned char>(host), static_cast<unsigned char>(port >> 8),
                                 static_cast<unsigned char>(port)});
    }
    const std::string tooMany = "Only the first 65536 servers listed are queried.";
    Taker taker;
    RunHandle run(
        Snapshot(10),
        [&](const std::u16string&, const MasterEntry&, std::vector<unsigned char>& list, DownloadCancel&) {
            list = body;
            return ListDownload::Listed;
        },
        RememberedStore{}, taker.Wake());
    taker.StartTaking(run);
    auto deadline = steady_clock::now() + milliseconds(5000);
    while (steady_clock::now() < deadline && !taker.Said(tooMany)) {
        std::this_thread::sleep_for(milliseconds(5));
    }
    run.Abort();
    taker.StopTaking();
    ASSERT_TRUE(taker.ended);
    EXPECT_TRUE(taker.Said(tooMany));
    EXPECT_EQ(taker.texts.back(), "Aborted. 0 of 65536 servers responded. " + tooMany);
    ASSERT_TRUE(taker.shown);
    EXPECT_LT(taker.shown->size(), 100u) << "records only for the servers asked";
}

TEST_F(QueryRunTest, EveryMasterIsAskedAtOnceTheirServersMergedAndAFailedOneNamedAtTheEnd) {
    StartServers(20);
    // Servers 0-9 on the web; 5-14 from a classic master in three datagrams; 15-19 from one that answers from the
    // wrong port, which is no answer; and a port where no master listens.
    FakeUdpMaster split({ServersDatagram(5, 8), ServersDatagram(8, 12), ServersDatagram(12, 15)});
    FakeUdpMaster wrongPort({ServersDatagram(15, 20)}, true);
    uint16_t nobody = 0;
    {
        FakeUdpMaster gone({});
        nobody = gone.Entry().port;
    }
    RunSnapshot snapshot = Snapshot(100000);
    snapshot.masters.push_back(split.Entry());
    // Entries that name no game server are never asked: 0.0.0.0 would reach this machine itself.
    const std::vector<unsigned char> unqueryable = {0,   0, 0, 0, 0x6D, 0x26, 255, 255, 255, 255, 0x6D, 0x26,
                                                    224, 0, 0, 1, 0x6D, 0x26, 127, 0,   0,   1,   0,    0};
    snapshot.masters.push_back(wrongPort.Entry());
    snapshot.masters.push_back(MasterEntry{MasterKind::Udp, u"127.0.0.1", nobody});
    std::vector<unsigned char> web = Entries(0, 10);
    web.insert(web.end(), unqueryable.begin(), unqueryable.end());
    Taker taker;
    RunHandle run(
        snapshot,
        [&](const std::u16string&, const MasterEntry& master, std::vector<unsigned char>& body, DownloadCancel&) {
            EXPECT_EQ(master.kind, MasterKind::Web);
            body = web;
            return ListDownload::Listed;
        },
        RememberedStore{}, taker.Wake());
    ASSERT_TRUE(taker.TakeUntilEnd(run));

    EXPECT_EQ(taker.texts.front(), "Fetching server lists from 4 masters...");
    ASSERT_TRUE(taker.shown);
    ASSERT_EQ(taker.shown->size(), 15u) << "each server once; none from the wrong port";
    EXPECT_EQ(taker.hostnames.size(), 15u);
    EXPECT_EQ(wrongPort.queries(), UDP_MASTER_TRIES) << "asked again while nothing came from its port";
    EXPECT_EQ(split.queries(), 1);
    std::string closing = taker.texts.back();
    EXPECT_EQ(closing.rfind("Completed. 15 of 15 servers responded. ", 0), 0u) << closing;
    EXPECT_TRUE(Contains(closing, "No answer from master 127.0.0.1:" + std::to_string(wrongPort.Entry().port) + "."))
        << closing;
    EXPECT_TRUE(Contains(closing, "No answer from master 127.0.0.1:" + std::to_string(nobody) + ".")) << closing;
    // The masters answer in any order, so each record is found by its server.
    for (size_t i = 0; i < taker.shown->size(); ++i) {
        const ServerRecord& record = (*taker.shown)[i];
        size_t server = ServerIndex(record);
        SourceSet expected = (server < 10 ? MasterSource(0) : 0) | (server >= 5 ? MasterSource(1) : 0);
        EXPECT_EQ(record.sources.load(), expected) << server;
        EXPECT_EQ(record.attempts, 1) << server;
    }
}

TEST_F(QueryRunTest, ASlowMasterDoesNotHoldBackTheServersOfTheOthers) {
    StartServers(20);
    FakeUdpMaster fast({ServersDatagram(0, 10)});
    RunSnapshot snapshot = Snapshot(100000);
    snapshot.masters.push_back(fast.Entry());
    std::vector<unsigned char> web = Entries(10, 20);
    Taker taker;
    RunHandle run(
        snapshot,
        [&](const std::u16string&, const MasterEntry&, std::vector<unsigned char>& body, DownloadCancel&) {
            // The web master answers only once the classic master's servers have all been asked.
            auto deadline = steady_clock::now() + milliseconds(5000);
            while (QueriesLogged() < 10 && steady_clock::now() < deadline) {
                std::this_thread::sleep_for(milliseconds(5));
            }
            EXPECT_GE(QueriesLogged(), 10u);
            body = web;
            return ListDownload::Listed;
        },
        RememberedStore{}, taker.Wake());
    ASSERT_TRUE(taker.TakeUntilEnd(run));
    EXPECT_EQ(taker.texts.back(), "Completed. 20 of 20 servers responded.");
    EXPECT_EQ(taker.hostnames.size(), 20u);
}

TEST_F(QueryRunTest, WhenEveryMasterFailsTheRememberedListAndTheFavouritesAreQueried) {
    StartServers(12);
    MemoryStore store;
    std::vector<unsigned char> web = Entries(0, 10);
    bool masterUp = true;
    auto fetcher = [&](const std::u16string&, const MasterEntry&, std::vector<unsigned char>& body, DownloadCancel&) {
        body = web;
        return masterUp ? ListDownload::Listed : ListDownload::Failed;
    };
    RunSnapshot snapshot = Snapshot(100000);
    snapshot.favourites = {Server(11)};
    {
        Taker taker;
        RunHandle run(snapshot, fetcher, store.Store(), taker.Wake());
        ASSERT_TRUE(taker.TakeUntilEnd(run));
        EXPECT_EQ(taker.texts.back(), "Completed. 11 of 11 servers responded.");
    }
    RememberedList list;
    ASSERT_EQ(DecodeRememberedList(store.file.data(), store.file.size(), u"", &list), RememberedFault::None);
    EXPECT_EQ(list.entries, web) << "the masters' servers, not the favourite";

    // The master is down: the remembered servers and the favourite are asked, and the line says why.
    masterUp = false;
    std::vector<unsigned char> remembered = store.file;
    {
        Taker taker;
        RunHandle run(snapshot, fetcher, store.Store(), taker.Wake());
        ASSERT_TRUE(taker.TakeUntilEnd(run));
        EXPECT_EQ(taker.hostnames.size(), 11u);
        std::string closing = taker.texts.back();
        EXPECT_EQ(
            closing.rfind("Completed. 11 of 11 servers responded. No master answered; the list was remembered on ", 0),
            0u)
            << closing;
        EXPECT_EQ(store.file, remembered) << "a run no master answered keeps the list as it was";
    }

    // A damaged list is not trusted: with no favourite the run ends as a failed download does, the table kept.
    store.file[store.file.size() / 2] ^= 0x55;
    snapshot.favourites.clear();
    Taker taker;
    RunHandle run(snapshot, fetcher, store.Store(), taker.Wake());
    ASSERT_TRUE(taker.TakeUntilEnd(run));
    EXPECT_EQ(taker.tables, 0);
    EXPECT_EQ(taker.texts.back(), "Failed to download server list from 127.0.0.1. The remembered list was not used: " +
                                      Narrow(RememberedFaultText(RememberedFault::Checksum)) + ".");

    // Several masters failed and nothing else names a server (a machine with no network): the line names them all,
    // not only the one that failed last.
    store.present = false;
    MasterEntry second;
    ASSERT_EQ(ParseMasterEntry(u"http://localhost:8080", &second), MasterFault::None);
    snapshot.masters.push_back(second);
    Taker offline;
    RunHandle unreachable(snapshot, fetcher, store.Store(), offline.Wake());
    ASSERT_TRUE(offline.TakeUntilEnd(unreachable));
    std::string closing = offline.texts.back();
    EXPECT_TRUE(Contains(closing, "Failed to download server list from 127.0.0.1.")) << closing;
    EXPECT_TRUE(Contains(closing, "Failed to download server list from localhost:8080.")) << closing;
}

// On loopback nothing broadcasts to a server bound to its own address, so each made-up network's "broadcast" address
// is a server's own: the search sends to it as to a broadcast address, and takes whom the network holds.
TEST_F(QueryRunTest, TheLanIsSearchedBesideTheMastersAndAServerBothNameIsShownOnceWithBothSources) {
    StartServersAt({"127.0.0.2:27910", "127.0.0.1:0", "127.0.0.5:27911", "127.0.0.9:27912"});
    const uint32_t slash30 = 0xfcffffff; // 255.255.255.252 in network byte order
    std::vector<LocalNetwork> networks = {
        {0x0100007f, slash30, Server(0).addr},    // 127.0.0.0/30
        {0x0600007f, slash30, Server(2).addr},    // 127.0.0.4/30
        {0x0100000a, 0x000000ff, Server(3).addr}, // 10.0.0.1/8: the server that answers lies outside it
    };
    RunSnapshot snapshot = Snapshot(100000);
    snapshot.lanNetworks = [&] { return networks; };
    std::vector<unsigned char> web = Entries(0, 2);
    MemoryStore store;
    Taker taker;
    RunHandle run(
        snapshot,
        [&](const std::u16string&, const MasterEntry&, std::vector<unsigned char>& body, DownloadCancel&) {
            body = web;
            return ListDownload::Listed;
        },
        store.Store(), taker.Wake());
    ASSERT_TRUE(taker.TakeUntilEnd(run));
    ASSERT_TRUE(taker.shown);
    ASSERT_EQ(taker.shown->size(), 3u) << "the master's two servers and the one only the LAN found";
    EXPECT_EQ(taker.texts.back(), "Completed. 3 of 3 servers responded.");
    std::vector<SourceSet> sources(4, 0);
    for (size_t i = 0; i < taker.shown->size(); ++i) {
        const ServerRecord& record = (*taker.shown)[i];
        sources[ServerIndex(record)] = record.sources.load();
        EXPECT_EQ(record.answered, 1);
    }
    EXPECT_EQ(sources[0], MasterSource(0) | SOURCE_LAN);
    EXPECT_EQ(sources[1], MasterSource(0)) << "no LAN server: it is not on a port the search asks";
    EXPECT_EQ(sources[2], SOURCE_LAN);
    EXPECT_EQ(sources[3], 0u) << "its answer came from outside the networks searched";
    RememberedList list;
    ASSERT_EQ(DecodeRememberedList(store.file.data(), store.file.size(), u"", &list), RememberedFault::None);
    EXPECT_EQ(list.entries, web) << "the LAN's servers are no master's to remember";

    // The LAN alone finds servers while the master fails: they are queried and the failure is said at the end.
    Taker lanOnly;
    RunHandle failing(snapshot, FailingFetcher(), RememberedStore{}, lanOnly.Wake());
    ASSERT_TRUE(lanOnly.TakeUntilEnd(failing));
    ASSERT_TRUE(lanOnly.shown);
    EXPECT_EQ(lanOnly.shown->size(), 2u);
    EXPECT_EQ(lanOnly.texts.back(),
              "Completed. 2 of 2 servers responded. Failed to download server list from 127.0.0.1.");
}

// The search for real: the status query broadcast on this machine's networks as the system lists them, and answered
// by servers that listen on every address, as game servers do. It needs a network of its own, which
// scripts/lib/lan-check makes (a veth pair with 10.77.0.1/24 in a network namespace) before it runs this test.
TEST_F(QueryRunTest, ServersOnARealLocalNetworkAnswerTheBroadcast) {
    const char* network = std::getenv("SKERROW_LAN_NETWORK");
    if (!network) {
        GTEST_SKIP() << "needs a network that can broadcast and nothing else on its ports: run scripts/lib/lan-check";
    }
    std::vector<LocalNetwork> networks = ListBroadcastNetworks();
    ASSERT_EQ(networks.size(), 1u) << "only the namespace's own network: loopback cannot broadcast";
    in_addr expected{};
    ASSERT_EQ(inet_pton(AF_INET, network, &expected), 1) << network;
    EXPECT_EQ(networks[0].addr, expected.s_addr);
    EXPECT_EQ(networks[0].broadcast, AddressFromOctets(OctetsOfAddress(expected.s_addr) | 0xff)) << "a /24";

    StartServersAt({"0.0.0.0:27910", "0.0.0.0:27914", "0.0.0.0:27915"});
    RunSnapshot snapshot = Snapshot(100000);
    snapshot.lanNetworks = ListBroadcastNetworks;
    Taker taker;
    RunHandle run(snapshot, FailingFetcher(), RememberedStore{}, taker.Wake());
    ASSERT_TRUE(taker.TakeUntilEnd(run));
    ASSERT_TRUE(taker.shown);
    ASSERT_EQ(taker.shown->size(), 2u) << "the servers on 27910 and 27914; none asked on 27915";
    std::set<uint16_t> ports;
    for (size_t i = 0; i < taker.shown->size(); ++i) {
        const ServerRecord& record = (*taker.shown)[i];
        EXPECT_EQ(record.addr, expected.s_addr) << "they answer from the machine's address on the network";
        EXPECT_EQ(record.sources.load(), SOURCE_LAN);
        EXPECT_EQ(record.answered, 1);
        ports.insert(record.port);
    }
    EXPECT_EQ(ports, (std::set<uint16_t>{27910, 27914}));
    EXPECT_EQ(taker.hostnames, (std::set<std::string>{"Host 0", "Host 1"}));
    EXPECT_EQ(taker.texts.back(),
              "Completed. 2 of 2 servers responded. Failed to download server list from 127.0.0.1.");
}

} // namespace
