// Times update runs of the portable engine alone, natively (no Wine, no window), against whatever the simulator
// serves, and prints one machine-readable line per fact for scripts/bench, in skerrow_bench's format: how long each
// run takes from its start to its end (the master list download included), and the pings the records keep.
//
// engine_bench --label NAME --pps N [--runs K] [--pings] [--master HOST:PORT] [--send-floor N]
//   Runs K + 1 update runs one after another (run 0 warms up, as the window's start-up run does), each asking the
//   web master at HOST:PORT (default 127.0.0.1:80) for the list of every mod, as the program does. --pings prints
//   every record's ping after the last run. --send-floor times, three times after the runs, how long the run's
//   socket takes to send N status queries one after another to a socket of the bench's own on 127.0.0.1 that reads
//   none: what sending costs this machine, the part of a refresh's floor that is not the servers' own delay.
//
// The harness is a thin taker: it takes the run's reports as the window's loop does (woken by the run, or back by
// itself every 20 ms while reports keep coming), keeps the table it is handed, and reads the records only once the
// run has ended.
#include "core/protocol/status_reply.h"
#include "core/run/datagram_socket.h"
#include "core/run/run_handle.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "latin1.h"

namespace {

using Clock = std::chrono::steady_clock;

// As the window's take timer (TAKE_INTERVAL_MS) and the window's settling pause between runs.
constexpr auto TAKE_INTERVAL = std::chrono::milliseconds(20);
constexpr auto SETTLE = std::chrono::milliseconds(500);
constexpr auto RUN_TIMEOUT = std::chrono::minutes(15);
// The program keeps at most this much of a list body (server_list_download.h).
constexpr size_t BODY_CAP = 0xFFFE;

struct Options {
    std::string label = "engine";
    int packetsPerSecond = 10;
    int runs = 1;
    bool pings = false;
    std::string masterHost = "127.0.0.1";
    uint16_t masterPort = 80;
    int sendFloor = 0;
};

bool ParseOptions(int argc, char** argv, Options& options) {
    for (int i = 1; i < argc; ++i) {
        std::string flag = argv[i];
        if (flag == "--pings") {
            options.pings = true;
        } else if (i + 1 < argc && flag == "--label") {
            options.label = argv[++i];
        } else if (i + 1 < argc && flag == "--pps") {
            options.packetsPerSecond = atoi(argv[++i]);
        } else if (i + 1 < argc && flag == "--runs") {
            options.runs = atoi(argv[++i]);
        } else if (i + 1 < argc && flag == "--send-floor") {
            options.sendFloor = atoi(argv[++i]);
        } else if (i + 1 < argc && flag == "--master") {
            std::string master = argv[++i];
            size_t colon = master.rfind(':');
            if (colon == std::string::npos) {
                return false;
            }
            options.masterHost = master.substr(0, colon);
            options.masterPort = static_cast<uint16_t>(atoi(master.c_str() + colon + 1));
        } else {
            fprintf(stderr, "usage: engine_bench --label NAME --pps N [--runs K] [--pings] [--master HOST:PORT] "
                            "[--send-floor N]\n");
            return false;
        }
    }
    return true;
}

// The web master's list over plain HTTP/1.0 on a dotted-quad host: the path the program asks, the body kept up to
// the program's cap. An abort of the run ends the transfer.
ListDownload FetchList(const std::u16string& modDir, const MasterEntry& master, std::vector<unsigned char>& body,
                       DownloadCancel& cancel) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(master.port);
    std::string host(master.host.begin(), master.host.end());
    if (inet_pton(AF_INET, host.c_str(), &address.sin_addr) != 1) {
        return ListDownload::Failed;
    }
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0) {
        return ListDownload::Failed;
    }
    if (!cancel.Arm([fd] { shutdown(fd, SHUT_RDWR); })) {
        close(fd);
        return ListDownload::Failed;
    }
    std::string request =
        "GET /?mod=" + std::string(modDir.begin(), modDir.end()) + "&raw=2 HTTP/1.0\r\nHost: " + host + "\r\n\r\n";
    std::string answer;
    bool sent = connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
                send(fd, request.data(), request.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(request.size());
    char chunk[16384];
    ssize_t got = 0;
    while (sent && (got = recv(fd, chunk, sizeof chunk, 0)) > 0) {
        answer.append(chunk, static_cast<size_t>(got));
    }
    cancel.Disarm();
    close(fd);
    size_t head = answer.find("\r\n\r\n");
    bool ok = answer.compare(0, 7, "HTTP/1.") == 0 && answer.compare(8, 5, " 200 ") == 0;
    if (!sent || got < 0 || head == std::string::npos || !ok || cancel.Cancelled()) {
        return ListDownload::Failed;
    }
    body.assign(answer.begin() + static_cast<std::ptrdiff_t>(head + 4), answer.end());
    if (body.size() > BODY_CAP) {
        body.resize(BODY_CAP);
    }
    return ListDownload::Listed;
}

// The remembered list kept in memory: the run builds and hands over its file as in the program, which writes it out.
struct MemoryStore {
    std::mutex mutex;
    std::vector<unsigned char> file;

    RememberedStore Store() {
        return RememberedStore{[](const std::u16string&, std::vector<unsigned char>&) { return false; },
                               [this](const std::u16string&, const std::vector<unsigned char>& bytes) {
                                   std::lock_guard<std::mutex> lock(mutex);
                                   file = bytes;
                               }};
    }
};

double ProcessCpuMs() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return (static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1000.0) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1000.0;
}

// How long the run's socket takes to send `count` status queries to a socket on 127.0.0.1 that never reads them
// (what does not fit its buffer is dropped, as the kernel does); negative when no sockets could be had.
double SendFloorMs(int count) {
    int sink = socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    int error = 0;
    std::unique_ptr<DatagramSocket> sender = OpenDatagramSocket(1 << 16, error);
    if (sink < 0 || !sender || bind(sink, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        getsockname(sink, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
        if (sink >= 0) {
            close(sink);
        }
        return -1;
    }
    Clock::time_point start = Clock::now();
    for (int i = 0; i < count; ++i) {
        sender->SendTo(address.sin_addr.s_addr, ntohs(address.sin_port), STATUS_QUERY, STATUS_QUERY_SIZE);
    }
    double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    close(sink);
    return ms;
}

class Taker {
public:
    std::function<void()> Wake() {
        return [this] {
            std::lock_guard<std::mutex> lock(mutex_);
            woken_ = true;
            wake_.notify_one();
        };
    }

    // Takes the run's reports until its end; false when it did not come in time.
    bool TakeUntilEnd(RunHandle& run) {
        Clock::time_point deadline = Clock::now() + RUN_TIMEOUT;
        while (Clock::now() < deadline) {
            {
                std::unique_lock<std::mutex> lock(mutex_);
                wake_.wait_for(lock, TAKE_INTERVAL, [this] { return woken_; });
                woken_ = false;
            }
            RunReport report = run.Take();
            if (report.table) {
                shown = std::move(report.table);
            }
            if (report.end) {
                return true;
            }
        }
        return false;
    }

    std::shared_ptr<ServerTable> shown;

private:
    std::mutex mutex_;
    std::condition_variable wake_;
    bool woken_ = false;
};

} // namespace

int main(int argc, char** argv) {
    Options options;
    if (!ParseOptions(argc, argv, options)) {
        return 64;
    }
    RunSnapshot snapshot;
    snapshot.packetsPerSecond = options.packetsPerSecond;
    snapshot.masters = {MasterEntry{
        MasterKind::Web, std::u16string(options.masterHost.begin(), options.masterHost.end()), options.masterPort}};
    snapshot.decodeAnsi = DecodeLatin1;
    MemoryStore store;
    Taker taker;

    for (int index = 0; index <= options.runs; ++index) {
        if (index > 0) {
            std::this_thread::sleep_for(SETTLE);
        }
        double cpuStart = ProcessCpuMs();
        Clock::time_point start = Clock::now();
        bool ended = false;
        {
            RunHandle run(snapshot, FetchList, store.Store(), taker.Wake());
            ended = run.Started() && taker.TakeUntilEnd(run);
        }
        double totalMs = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
        if (!ended || !taker.shown) {
            fprintf(stderr, "engine_bench: run %d did not end with a table\n", index);
            return 1;
        }
        const ServerTable& table = *taker.shown;
        int answered = 0, queries = 0;
        for (size_t i = 0; i < table.size(); ++i) {
            answered += table[i].answered != 0;
            queries += table[i].attempts;
        }
        printf("run label=%s index=%d pps=%d probe=0 servers=%zu answered=%d queries=%d total_ms=%.3f "
               "process_cpu_ms=%.0f\n",
               options.label.c_str(), index, options.packetsPerSecond, table.size(), answered, queries, totalMs,
               ProcessCpuMs() - cpuStart);
        fflush(stdout);
    }
    for (int i = 0; options.sendFloor > 0 && i < 3; ++i) {
        printf("send_floor label=%s datagrams=%d ms=%.3f\n", options.label.c_str(), options.sendFloor,
               SendFloorMs(options.sendFloor));
    }
    if (options.pings) {
        const ServerTable& table = *taker.shown;
        for (size_t i = 0; i < table.size(); ++i) {
            char address[INET_ADDRSTRLEN];
            in_addr addr{table[i].addr};
            inet_ntop(AF_INET, &addr, address, sizeof address);
            printf("ping label=%s index=%zu server=%s:%u answered=%d ping=%u\n", options.label.c_str(), i, address,
                   table[i].port, table[i].answered, table[i].ping);
        }
    }
    return 0;
}
