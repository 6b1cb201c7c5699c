// Measurements of a running skerrow-master, for scripts/bench-service, which starts the service (built without
// sanitizers) and the simulator's game servers:
//   service_bench cold --http A:P --expect N --sim-log FILE
//       seconds from the simulator's first heartbeat until the web list holds N servers
//   service_bench latency --http A:P --requests N [--mod M]
//       each GET /?mod=M&raw=2 on a fresh connection, as the browser makes it: median, p99 and longest time
//   service_bench intake --http A:P --udp A:P --pid PID
//       heartbeats handled per second of the service's CPU: first heartbeats of new servers (answered, so they
//       are listed), repeated heartbeats of listed servers, and a flood from one address
// Each prints one line of key=value pairs.
#include <arpa/inet.h>
#include <dirent.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
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

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::duration duration) {
    return std::chrono::duration<double>(duration).count();
}

long ListedCount(const ServerAddress& http) {
    HttpReply reply = HttpGet(http, "/?mod=&raw=2");
    return reply.status == 200 ? static_cast<long>(reply.body.size() / SERVER_ENTRY_BYTES) : -1;
}

uint64_t MonotonicMicros() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<uint64_t>(now.tv_sec) * 1000000 + static_cast<uint64_t>(now.tv_nsec) / 1000;
}

int Cold(const ServerAddress& http, long expect, const std::string& sim_log) {
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

int Latency(const ServerAddress& http, int requests, const std::string& mod) {
    std::vector<double> times;
    long length = 0;
    for (int i = 0; i < requests; ++i) {
        auto start = Clock::now();
        HttpReply reply = HttpGet(http, "/?mod=" + mod + "&raw=2");
        length = reply.status == 200 ? static_cast<long>(reply.body.size()) : -1;
        times.push_back(Seconds(Clock::now() - start) * 1000);
    }
    std::sort(times.begin(), times.end());
    auto at = [&](double share) {
        return times[std::min(times.size() - 1, static_cast<size_t>(share * times.size()))];
    };
    std::printf("latency_p50_ms=%.3f p99_ms=%.3f max_ms=%.3f requests=%d bytes=%ld\n", at(0.5), at(0.99), times.back(),
                requests, length);
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

SocketQueue ReadQueue(const ServerAddress& udp) {
    char local[32];
    std::snprintf(local, sizeof local, "%08X:%04X", htonl(udp.host), udp.port);
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
            sockaddr_in local = ToSockaddr({spread ? first + static_cast<uint32_t>(i) : first, 0});
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

    void SendAll(const ServerAddress& to, const std::string& datagram) const {
        sockaddr_in address = ToSockaddr(to);
        for (int fd : fds_) {
            sendto(fd, datagram.data(), datagram.size(), 0, reinterpret_cast<sockaddr*>(&address), sizeof address);
        }
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
void MeasureIntake(const char* name, const Sources& sources, int rounds, const ServerAddress& udp, int pid) {
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

int Intake(const ServerAddress& http, const ServerAddress& udp, int pid) {
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

} // namespace

int main(int argc, char** argv) {
    std::map<std::string, std::string> options;
    for (int i = 2; i + 1 < argc; i += 2) {
        options[argv[i]] = argv[i + 1];
    }
    std::string command = argc > 1 ? argv[1] : "";
    ServerAddress http, udp;
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
    std::fputs("usage: service_bench cold|latency|intake ... (see bench/service_bench.cpp)\n", stderr);
    return 64;
}
