// Measurements of a running skerrow-master, for scripts/bench-service, which starts the service (built without
// sanitizers) and the simulator's game servers:
//   service_bench cold --http A:P --expect N --sim-log FILE
//       seconds from the simulator's first heartbeat until the web list holds N servers
//   service_bench latency --http A:P --requests N [--mod M]
//       each GET /?mod=M&raw=2 on a fresh connection, as the browser makes it: median, p99 and longest time
//   service_bench intake --http A:P --udp A:P --pid PID
//       heartbeats handled per second of the service's CPU: first heartbeats of new servers (answered, so they
//       are listed), repeated heartbeats of listed servers, and a flood from one address
//   service_bench slots --http A:P --seconds S [--pid PID]
//       600 slow connections from 20 addresses (a byte a second each, reconnecting when cut) while well-behaved
//       clients ask for the list 50 times a second: how many of them are served, their latency, and the service's
//       memory once the slow ones are gone
//   service_bench filters --http A:P --udp A:P --seconds S
//       one address hammers GET /filters on 32 connections while other clients ask for it 50 times a second and ping
//       the master port as often: their latency, and what the hammering address got
// Each prints one line of key=value pairs. Well-behaved requests come each from an address of its own in
// 127.64.0.0/10, as many browsers ask, so the service's per-address limits are not what they measure.
//   service_bench spoofed --http A:P --udp A:P --rate N
//       a heartbeat flood from N new (spoofed) addresses a second; meanwhile 8 real servers heartbeat once each, a
//       second apart: how long each takes to be listed
//   service_bench query-burst --udp A:P --count N
//       N queries sent once from N distinct (spoofed) addresses; then how long until a new address is answered
// Each prints one line of key=value pairs. Spoofed sources are loopback addresses 127.x.y.z set per datagram.
#include <arpa/inet.h>
#include <dirent.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "loopback_client.h"
#include "server_address.h"

using namespace skerrow_master; // the service's own client side

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::duration duration) {
    return std::chrono::duration<double>(duration).count();
}

// An address in a /24 of its own for each call, from 16,384 of them.
uint32_t NextClientAddress() {
    static uint32_t next = 0;
    return 0x7F400001 | (next++ % 16384) << 8;
}

long ListedCount(const ListEntry& http) {
    HttpReply reply = HttpGet(http, "/?mod=&raw=2", NextClientAddress());
    return reply.status == 200 ? static_cast<long>(reply.body.size() / LIST_ENTRY_SIZE) : -1;
}

uint64_t MonotonicMicros() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<uint64_t>(now.tv_sec) * 1000000 + static_cast<uint64_t>(now.tv_nsec) / 1000;
}

int Cold(const ListEntry& http, long expect, const std::string& sim_log) {
    auto deadline = Clock::now() + std::chrono::seconds(120);
    long listed = 0;
    while ((listed = ListedCount(http)) < expect && Clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    uint64_t done = MonotonicMicros();
    // The simulator's log lines start with its CLOCK_MONOTONIC microseconds: its first heartbeat, and the status
    // queries its servers got (the service's checks), whose spread shows the service's pace.
    std::ifstream log(sim_log);
    uint64_t first = 0, first_check = 0, last_check = 0, checks = 0;
    for (std::string line; std::getline(log, line);) {
        if (!first && line.find(" sent=heartbeat ") != std::string::npos) {
            first = std::stoull(line);
        } else if (line.find(" query server=") != std::string::npos && line.find(" bytes=12 ") != std::string::npos) {
            last_check = std::stoull(line);
            first_check = first_check ? first_check : last_check;
            ++checks;
        }
    }
    double spread = (last_check - first_check) / 1e6;
    std::printf("cold_start_s=%.3f listed=%ld expected=%ld checks=%llu checks_per_s=%.0f\n",
                first ? (done - first) / 1e6 : -1.0, listed, expect, static_cast<unsigned long long>(checks),
                spread > 0 ? (checks - 1) / spread : 0.0);
    return listed >= expect && first ? 0 : 1;
}

// Percentiles of a set of times (sorted on construction).
class Spread {
public:
    explicit Spread(std::vector<double>* times) : times_(times) { std::sort(times->begin(), times->end()); }
    double At(double share) const {
        return times_->empty() ? -1
                               : (*times_)[std::min(times_->size() - 1, static_cast<size_t>(share * times_->size()))];
    }
    double Max() const { return times_->empty() ? -1 : times_->back(); }

private:
    std::vector<double>* times_;
};

int Latency(const ListEntry& http, int requests, const std::string& mod) {
    std::vector<double> times;
    long length = 0;
    for (int i = 0; i < requests; ++i) {
        auto start = Clock::now();
        HttpReply reply = HttpGet(http, "/?mod=" + mod + "&raw=2", NextClientAddress());
        length = reply.status == 200 ? static_cast<long>(reply.body.size()) : -1;
        times.push_back(Seconds(Clock::now() - start) * 1000);
    }
    Spread spread(&times);
    std::printf("latency_p50_ms=%.3f p99_ms=%.3f max_ms=%.3f requests=%d bytes=%ld\n", spread.At(0.5), spread.At(0.99),
                spread.Max(), requests, length);
    return length >= 0 ? 0 : 1;
}

// Nanoseconds the process's threads have run, from the scheduler.
uint64_t CpuNanos(int pid) {
    uint64_t total = 0;
    std::string tasks = "/proc/" + std::to_string(pid) + "/task";
    DIR* dir = opendir(tasks.c_str());
    while (dirent* entry = dir ? readdir(dir) : nullptr) {
        std::ifstream stat(tasks + "/" + entry->d_name + "/schedstat");
        uint64_t ran = 0;
        if (entry->d_name[0] != '.' && stat >> ran) {
            total += ran;
        }
    }
    if (dir) {
        closedir(dir);
    }
    return total;
}

// The receive queue and drop count of the UDP socket bound to the address, from /proc/net/udp.
struct SocketQueue {
    uint64_t queued = 0;
    uint64_t drops = 0;
};

SocketQueue ReadQueue(const ListEntry& udp) {
    char local[32];
    std::snprintf(local, sizeof local, "%08X:%04X", udp.addr, udp.port);
    std::ifstream table("/proc/net/udp");
    std::string line;
    std::getline(table, line);
    while (std::getline(table, line)) {
        std::istringstream fields(line);
        std::string slot, address, remote, state, queues, rest;
        fields >> slot >> address >> remote >> state >> queues;
        if (address == local) {
            std::vector<std::string> columns;
            while (fields >> rest) {
                columns.push_back(rest);
            }
            SocketQueue queue;
            queue.queued = std::stoull(queues.substr(queues.find(':') + 1), nullptr, 16);
            queue.drops = columns.empty() ? 0 : std::stoull(columns.back());
            return queue;
        }
    }
    return {};
}

class Sources {
public:
    // count sockets, each on its own address from `first` upwards when `spread`, else all on `first`.
    Sources(uint32_t first, size_t count, bool spread) {
        for (size_t i = 0; i < count; ++i) {
            int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
            sockaddr_in local = ToSockaddr(FromOctets(spread ? first + static_cast<uint32_t>(i) : first, 0));
            if (bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof local) == 0) {
                fds_.push_back(fd);
            } else {
                close(fd);
            }
        }
    }
    ~Sources() {
        for (int fd : fds_) {
            close(fd);
        }
    }
    size_t size() const { return fds_.size(); }

    void SendAll(const ListEntry& to, const std::string& datagram) const {
        sockaddr_in address = ToSockaddr(to);
        for (int fd : fds_) {
            sendto(fd, datagram.data(), datagram.size(), 0, reinterpret_cast<sockaddr*>(&address), sizeof address);
        }
    }
    // One datagram from the source at `index`; *address gets the source's address.
    void SendOne(size_t index, const ListEntry& to, const std::string& datagram, ListEntry* address) const {
        sockaddr_in local{};
        socklen_t size = sizeof local;
        getsockname(fds_[index], reinterpret_cast<sockaddr*>(&local), &size);
        *address = {local.sin_addr.s_addr, ntohs(local.sin_port)};
        sockaddr_in remote = ToSockaddr(to);
        sendto(fds_[index], datagram.data(), datagram.size(), 0, reinterpret_cast<sockaddr*>(&remote), sizeof remote);
    }
    // How many datagrams arrive on the first socket within the wait (read and discarded).
    size_t Received(std::chrono::milliseconds wait) const {
        pollfd ready{fds_[0], POLLIN, 0};
        size_t count = 0;
        std::vector<char> buffer(65536);
        while (poll(&ready, 1, count ? 0 : static_cast<int>(wait.count())) == 1 &&
               recv(fds_[0], buffer.data(), buffer.size(), 0) >= 0) {
            ++count;
        }
        return count;
    }
    // Answers every status query waiting on any socket; returns how many.
    size_t AnswerChecks() const {
        static const std::string reply = "\xff\xff\xff\xffprint\n\\gamename\\bench\\hostname\\Bench\\maxclients\\8\n";
        size_t answered = 0;
        char buffer[2048];
        for (int fd : fds_) {
            sockaddr_in from{};
            socklen_t size = sizeof from;
            while (recvfrom(fd, buffer, sizeof buffer, 0, reinterpret_cast<sockaddr*>(&from), &size) > 0) {
                if (std::memcmp(buffer, "\xff\xff\xff\xffstatus", 10) == 0) {
                    sendto(fd, reply.data(), reply.size(), 0, reinterpret_cast<sockaddr*>(&from), size);
                    ++answered;
                }
            }
        }
        return answered;
    }

private:
    std::vector<int> fds_;
};

const std::string HEARTBEAT = "\xff\xff\xff\xffheartbeat\n\\gamename\\bench\\hostname\\Bench\\maxclients\\8\n";

// Sends `rounds` heartbeats from every source, each round once the service has read the last, and reports what the
// service's CPU did with them.
void MeasureIntake(const char* name, const Sources& sources, int rounds, const ListEntry& udp, int pid) {
    SocketQueue before = ReadQueue(udp);
    uint64_t cpu = CpuNanos(pid);
    auto start = Clock::now();
    for (int round = 0; round < rounds; ++round) {
        sources.SendAll(udp, HEARTBEAT);
        while (ReadQueue(udp).queued > 0) {
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
    }
    double wall = Seconds(Clock::now() - start);
    double cpu_s = (CpuNanos(pid) - cpu) / 1e9;
    uint64_t sent = sources.size() * static_cast<uint64_t>(rounds);
    uint64_t dropped = ReadQueue(udp).drops - before.drops;
    uint64_t handled = sent - dropped;
    std::printf("intake_%s_per_cpu_s=%.0f handled=%llu dropped=%llu cpu_ms=%.1f wall_ms=%.1f\n", name, handled / cpu_s,
                static_cast<unsigned long long>(handled), static_cast<unsigned long long>(dropped), cpu_s * 1000,
                wall * 1000);
}

int Intake(const ListEntry& http, const ListEntry& udp, int pid) {
    // 4,096 servers, each on an address of its own in 127.2.0.0/16, so no source limit applies.
    Sources servers(0x7F020001, 4096, true);
    uint64_t cpu = CpuNanos(pid);
    servers.SendAll(udp, HEARTBEAT);
    auto deadline = Clock::now() + std::chrono::seconds(60);
    while (ListedCount(http) < static_cast<long>(servers.size()) && Clock::now() < deadline) {
        servers.AnswerChecks();
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    long listed = ListedCount(http);
    std::printf("intake_new_servers=%ld cpu_us_per_server=%.1f\n", listed, (CpuNanos(pid) - cpu) / 1e3 / listed);
    MeasureIntake("listed", servers, 50, udp, pid);
    // 128 ports of one address, far past its allowance: nearly all of it is refused by the rate limit.
    Sources flood(0x7F030001, 128, false);
    MeasureIntake("flood", flood, 400, udp, pid);
    return listed == static_cast<long>(servers.size()) ? 0 : 1;
}

long ResidentKb(int pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(status, line);) {
        if (line.compare(0, 6, "VmRSS:") == 0) {
            return std::stol(line.substr(6));
        }
    }
    return -1;
}

// Well-behaved clients: a GET every 20 ms, each on a connection and from an address of its own, until the end.
struct Sampled {
    int served = 0;
    int refused = 0;
    std::vector<double> times_ms;
};

Sampled AskEvery20Ms(const ListEntry& http, const std::string& target, Clock::time_point end) {
    Sampled sampled;
    for (auto next = Clock::now(); next < end; next += std::chrono::milliseconds(20)) {
        std::this_thread::sleep_until(next);
        auto start = Clock::now();
        HttpReply reply = HttpGet(http, target, NextClientAddress());
        sampled.times_ms.push_back(Seconds(Clock::now() - start) * 1000);
        (reply.status == 200 ? sampled.served : sampled.refused) += 1;
    }
    return sampled;
}

bool IsOpen(int fd) {
    pollfd ready{fd, POLLIN | POLLRDHUP, 0};
    return poll(&ready, 1, 0) == 0;
}

int Slots(const ListEntry& http, double seconds, int pid) {
    constexpr int ADDRESSES = 20, EACH = 30;
    auto end = Clock::now() + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
    std::vector<int> slow(ADDRESSES * EACH, -1);
    long reconnects = 0;
    std::atomic<size_t> held{0};
    std::thread attacker([&] {
        // Each slow connection sends the start of a request and then a byte of an endless field every second; one
        // that the service cut is opened again. 127.10.i.1: each address in a /24 of its own.
        for (auto tick = Clock::now(); tick < end; tick += std::chrono::seconds(1)) {
            size_t open = 0;
            for (size_t i = 0; i < slow.size(); ++i) {
                if (slow[i] >= 0 && IsOpen(slow[i]) && send(slow[i], "x", 1, MSG_NOSIGNAL) == 1) {
                    ++open;
                    continue;
                }
                if (slow[i] >= 0) {
                    close(slow[i]);
                    ++reconnects;
                }
                uint32_t source = 0x7F0A0001 | static_cast<uint32_t>(i % ADDRESSES) << 8;
                slow[i] = ConnectFrom(http, source);
                if (slow[i] >= 0) {
                    send(slow[i], "GET / HTTP/1.1\r\nX-Slow: ", 24, MSG_NOSIGNAL);
                }
            }
            held = open;
            std::this_thread::sleep_until(std::min(end, tick + std::chrono::seconds(1)));
        }
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(500)); // the slow ones come first
    Sampled good = AskEvery20Ms(http, "/?mod=&raw=2", end);
    attacker.join();
    size_t held_at_end = 0;
    for (int fd : slow) {
        held_at_end += fd >= 0 && IsOpen(fd) ? 1 : 0;
        if (fd >= 0) {
            close(fd);
        }
    }
    std::this_thread::sleep_for(std::chrono::seconds(1));
    Spread spread(&good.times_ms);
    std::printf("slots_served=%d refused=%d p50_ms=%.3f p99_ms=%.3f slow_held=%zu slow_reconnects=%ld "
                "resident_after_kb=%ld\n",
                good.served, good.refused, spread.At(0.5), spread.At(0.99), held_at_end, reconnects,
                pid > 0 ? ResidentKb(pid) : -1);
    return 0; // refusals are what this measures, not a failure of the benchmark
}

// One GET /filters on a kept-alive connection: the answer's status, 0 when the connection is gone.
int FiltersOnce(int fd) {
    static const std::string request = "GET /filters HTTP/1.1\r\nHost: master\r\n\r\n";
    if (send(fd, request.data(), request.size(), MSG_NOSIGNAL) != static_cast<ssize_t>(request.size())) {
        return 0;
    }
    std::string answer;
    char buffer[16384];
    size_t head_end = std::string::npos;
    size_t length = 0;
    while (head_end == std::string::npos || answer.size() < head_end + 4 + length) {
        ssize_t count = recv(fd, buffer, sizeof buffer, 0);
        if (count <= 0) {
            return 0;
        }
        answer.append(buffer, static_cast<size_t>(count));
        if (head_end == std::string::npos && (head_end = answer.find("\r\n\r\n")) != std::string::npos) {
            size_t at = answer.find("Content-Length: ");
            length = at < head_end ? std::stoul(answer.substr(at + 16)) : 0;
        }
    }
    return answer.compare(0, 9, "HTTP/1.1 ") == 0 ? std::stoi(answer.substr(9, 3)) : 0;
}

int Filters(const ListEntry& http, const ListEntry& udp, double seconds) {
    constexpr int CONNECTIONS = 32;
    auto end = Clock::now() + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
    std::atomic<long> ok{0}, limited{0}, connects{0};
    std::vector<std::thread> hammer;
    for (int i = 0; i < CONNECTIONS; ++i) {
        hammer.emplace_back([&] {
            int fd = -1;
            while (Clock::now() < end) {
                if (fd < 0) {
                    fd = ConnectFrom(http, 0x7F000002);
                    ++connects;
                    timeval wait{2, 0};
                    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
                }
                int status = fd >= 0 ? FiltersOnce(fd) : 0;
                if (status == 200) {
                    ++ok;
                    continue;
                }
                limited += status == 429 ? 1 : 0;
                if (fd >= 0) {
                    close(fd);
                    fd = -1;
                }
                if (status == 0) {
                    // Refused a connection: tried again soon, as a client would, without spinning.
                    std::this_thread::sleep_for(std::chrono::milliseconds(10));
                }
            }
            if (fd >= 0) {
                close(fd);
            }
        });
    }
    std::vector<double> pings;
    std::thread pinger([&] {
        int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        sockaddr_in to = ToSockaddr(udp);
        timeval wait{1, 0};
        setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
        for (auto next = Clock::now(); next < end; next += std::chrono::milliseconds(20)) {
            std::this_thread::sleep_until(next);
            auto start = Clock::now();
            char ack[64];
            sendto(fd, "\xff\xff\xff\xffping", 8, 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
            bool answered = recv(fd, ack, sizeof ack, 0) > 0;
            pings.push_back(answered ? Seconds(Clock::now() - start) * 1000 : 1000);
        }
        close(fd);
    });
    Sampled other = AskEvery20Ms(http, "/filters", end);
    pinger.join();
    for (std::thread& thread : hammer) {
        thread.join();
    }
    Spread filters(&other.times_ms), ping(&pings);
    std::printf("filters_p50_ms=%.3f p99_ms=%.3f max_ms=%.3f served=%d refused=%d ping_p50_ms=%.3f ping_p99_ms=%.3f "
                "hammer_ok=%ld hammer_429=%ld hammer_connects=%ld\n",
                filters.At(0.5), filters.At(0.99), filters.Max(), other.served, other.refused, ping.At(0.5),
                ping.At(0.99), ok.load(), limited.load(), connects.load());
    return 0;
}

// Sends datagrams that carry any loopback source address it is given: one socket, the source set per datagram.
class Spoofer {
public:
    Spoofer() {
        fd_ = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
        sockaddr_in local = ToSockaddr(FromOctets(0x7F000001, 0));
        bind(fd_, reinterpret_cast<sockaddr*>(&local), sizeof local);
    }
    ~Spoofer() { close(fd_); }
    bool Send(uint32_t source, const ListEntry& to, const std::string& datagram) const {
        return SendFrom(fd_, source, to, datagram);
    }

private:
    int fd_ = -1;
};

bool IsListed(const ListEntry& http, const ListEntry& server) {
    HttpReply reply = HttpGet(http, "/?mod=&raw=2");
    std::string entry;
    AppendListEntry(&entry, server);
    for (size_t offset = 0; offset + LIST_ENTRY_SIZE <= reply.body.size(); offset += LIST_ENTRY_SIZE) {
        if (reply.body.compare(offset, LIST_ENTRY_SIZE, entry) == 0) {
            return true;
        }
    }
    return false;
}

// A flood of first heartbeats from ever new addresses (127.16.0.1 upwards), at `rate` a second, while real servers
// on 127.5.0.x heartbeat once each and answer their checks.
int Spoofed(const ListEntry& http, const ListEntry& udp, int rate) {
    constexpr int REAL_SERVERS = 8;
    const auto WARM_UP = std::chrono::seconds(4);
    const auto GIVE_UP = std::chrono::seconds(15);
    Spoofer spoofer;
    Sources real(0x7F050001, REAL_SERVERS, true);
    std::vector<ListEntry> addresses;
    for (int i = 0; i < REAL_SERVERS; ++i) {
        addresses.push_back(FromOctets(0x7F050001 + static_cast<uint32_t>(i), 0));
    }
    std::vector<Clock::time_point> beat(REAL_SERVERS), listed(REAL_SERVERS);
    auto start = Clock::now();
    auto last_poll = start;
    uint64_t sent = 0, refused_by_kernel = 0;
    int heartbeats = 0, done = 0;
    while (done < REAL_SERVERS && Clock::now() - start < WARM_UP + REAL_SERVERS * std::chrono::seconds(1) + GIVE_UP) {
        auto now = Clock::now();
        auto due = static_cast<uint64_t>(Seconds(now - start) * rate);
        for (; sent < due; ++sent) {
            refused_by_kernel += spoofer.Send(0x7F100001 + static_cast<uint32_t>(sent), udp, HEARTBEAT) ? 0 : 1;
        }
        if (heartbeats < REAL_SERVERS && now - start >= WARM_UP + heartbeats * std::chrono::seconds(1)) {
            real.SendOne(static_cast<size_t>(heartbeats), udp, HEARTBEAT, &addresses[heartbeats]);
            beat[heartbeats++] = now;
        }
        real.AnswerChecks();
        if (now - last_poll >= std::chrono::milliseconds(20)) {
            last_poll = now;
            for (int i = 0; i < heartbeats; ++i) {
                if (listed[i] == Clock::time_point() && IsListed(http, addresses[i])) {
                    listed[i] = Clock::now();
                    ++done;
                }
            }
        }
        std::this_thread::sleep_for(std::chrono::microseconds(500));
    }
    double flood_seconds = Seconds(Clock::now() - start);
    std::vector<double> times;
    for (int i = 0; i < heartbeats; ++i) {
        times.push_back(listed[i] == Clock::time_point() ? -1.0 : Seconds(listed[i] - beat[i]));
    }
    std::sort(times.begin(), times.end());
    std::string all;
    for (double time : times) {
        all += (all.empty() ? "" : ",") + std::to_string(time).substr(0, 5);
    }
    std::printf("spoofed_listed=%d of=%d max_s=%.3f times_s=%s flood_per_s=%.0f flood_sent=%llu\n", done, heartbeats,
                times.empty() ? -1.0 : times.back(), all.c_str(), (sent - refused_by_kernel) / flood_seconds,
                static_cast<unsigned long long>(sent - refused_by_kernel));
    return done == REAL_SERVERS ? 0 : 1;
}

// One burst of queries from `count` distinct addresses (127.32.0.1 upwards), then a query from a new address every
// 250 ms until one is answered.
int QueryBurst(const ListEntry& udp, int count) {
    const std::string QUERY("query\n\0", 7);
    Spoofer spoofer;
    SocketQueue before = ReadQueue(udp);
    auto start = Clock::now();
    for (int i = 0; i < count; ++i) {
        while (!spoofer.Send(0x7F200001 + static_cast<uint32_t>(i), udp, QUERY)) {
            std::this_thread::sleep_for(std::chrono::microseconds(50));
        }
        if (i % 64 == 63) { // about 100,000 a second: what the service's socket takes without dropping
            std::this_thread::sleep_for(std::chrono::microseconds(500));
        }
    }
    auto burst_end = Clock::now();
    while (ReadQueue(udp).queued > 0 && Clock::now() - burst_end < std::chrono::seconds(5)) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    uint64_t dropped = ReadQueue(udp).drops - before.drops;
    double answered_after = -1;
    int tries = 0;
    for (; tries < 120 && answered_after < 0; ++tries) {
        Sources fresh(0x7F060001 + static_cast<uint32_t>(tries), 1, true);
        fresh.SendAll(udp, QUERY);
        auto sent_at = Clock::now();
        while (answered_after < 0 && Clock::now() - sent_at < std::chrono::milliseconds(250)) {
            if (fresh.Received(std::chrono::milliseconds(10)) > 0) {
                answered_after = Seconds(Clock::now() - burst_end);
            }
        }
    }
    std::printf("query_burst_answered_after_s=%.3f sent=%d burst_s=%.3f kernel_dropped=%llu new_sources_tried=%d\n",
                answered_after, count, Seconds(burst_end - start), static_cast<unsigned long long>(dropped), tries);
    return answered_after >= 0 ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    std::map<std::string, std::string> options;
    for (int i = 2; i + 1 < argc; i += 2) {
        options[argv[i]] = argv[i + 1];
    }
    std::string command = argc > 1 ? argv[1] : "";
    ListEntry http, udp;
    bool ok = ParseAddress(options["--http"], &http);
    if (ok && command == "cold") {
        return Cold(http, std::stol(options["--expect"]), options["--sim-log"]);
    }
    if (ok && command == "latency") {
        return Latency(http, std::stoi(options["--requests"]), options["--mod"]);
    }
    if (ok && command == "intake" && ParseAddress(options["--udp"], &udp)) {
        return Intake(http, udp, std::stoi(options["--pid"]));
    }
    if (ok && command == "slots") {
        return Slots(http, std::stod(options["--seconds"]), options.count("--pid") ? std::stoi(options["--pid"]) : 0);
    }
    if (ok && command == "filters" && ParseAddress(options["--udp"], &udp)) {
        return Filters(http, udp, std::stod(options["--seconds"]));
    }
    if (ok && command == "spoofed" && ParseAddress(options["--udp"], &udp)) {
        return Spoofed(http, udp, std::stoi(options["--rate"]));
    }
    if (command == "query-burst" && ParseAddress(options["--udp"], &udp)) {
        return QueryBurst(udp, std::stoi(options["--count"]));
    }
    std::fputs("usage: service_bench cold|latency|intake|slots|filters|spoofed|query-burst ... (see "
               "bench/service_bench.cpp)\n",
               stderr);
    return 64;
}
