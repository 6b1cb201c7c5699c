// Hammers a running skerrow-master's page and JSON API, for scripts/bench-service, while the other measurements run:
//   service_hammer --http A:P [--seconds S] [--threads N]
// until S seconds have passed or SIGINT or SIGTERM comes. Each thread is a network of its own (127.200.T.0/24) whose 16
// addresses ask, as fast as they are answered, for the page and the API in turn (every mod and one mod, sorted and
// paged), each request on a connection of its own: as much as the service's limits let a network have (240 requests at
// once, then 80 a second), and the rest refused. Prints one line of key=value pairs: answers, refusals (429 or closed
// at the door), bytes, and the median and p99 of the page's and the API's answers.
#include <signal.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "loopback_client.h"
#include "server_address.h"

using namespace skerrow_master; // the service's own client side

namespace {

using Clock = std::chrono::steady_clock;

std::atomic<bool> stopping{false};

const char* const PAGE_TARGETS[] = {"/", "/?mod=ctf&sort=name", "/?sort=map&page=3", "/?mod=action&sort=checked"};
const char* const API_TARGETS[] = {"/api/servers", "/api/servers?mod=ctf", "/api/health"};

struct Tally {
    std::vector<double> page_ms;
    std::vector<double> api_ms;
    uint64_t refused = 0;
    uint64_t bytes = 0;
};

double Percentile(std::vector<double>* times, double share) {
    if (times->empty()) {
        return -1;
    }
    std::sort(times->begin(), times->end());
    return (*times)[std::min(times->size() - 1, static_cast<size_t>(share * times->size()))];
}

void Hammer(const ListEntry& http, Clock::time_point end, uint32_t network, Tally* tally) {
    for (uint32_t i = 0; !stopping && Clock::now() < end; ++i) {
        uint32_t source = 0x7FC80001 + (network << 8) + i % 16;
        bool page = i % 2 == 0;
        const char* target = page ? PAGE_TARGETS[(i / 2) % 4] : API_TARGETS[(i / 2) % 3];
        auto start = Clock::now();
        HttpReply reply = HttpGet(http, target, source);
        double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
        if (reply.status == 200) {
            (page ? tally->page_ms : tally->api_ms).push_back(ms);
            tally->bytes += reply.body.size();
        } else {
            ++tally->refused;
        }
    }
}

} // namespace

int main(int argc, char** argv) {
    std::map<std::string, std::string> options;
    for (int i = 1; i + 1 < argc; i += 2) {
        options[argv[i]] = argv[i + 1];
    }
    ListEntry http;
    if (!ParseAddress(options["--http"], &http)) {
        std::fputs("usage: service_hammer --http A:P [--seconds S] [--threads N]\n", stderr);
        return 64;
    }
    struct sigaction stop {};
    stop.sa_flags = SA_RESTART;
    stop.sa_handler = [](int) { stopping = true; };
    sigaction(SIGINT, &stop, nullptr);
    sigaction(SIGTERM, &stop, nullptr);
    int threads = options.count("--threads") ? std::stoi(options["--threads"]) : 2;
    double seconds = options.count("--seconds") ? std::stod(options["--seconds"]) : 86400;
    Clock::time_point end =
        Clock::now() + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
    std::vector<Tally> tallies(static_cast<size_t>(threads));
    std::vector<std::thread> workers;
    for (int t = 0; t < threads; ++t) {
        workers.emplace_back(Hammer, http, end, static_cast<uint32_t>(t), &tallies[static_cast<size_t>(t)]);
    }
    Tally all;
    for (int t = 0; t < threads; ++t) {
        workers[static_cast<size_t>(t)].join();
        Tally& tally = tallies[static_cast<size_t>(t)];
        all.page_ms.insert(all.page_ms.end(), tally.page_ms.begin(), tally.page_ms.end());
        all.api_ms.insert(all.api_ms.end(), tally.api_ms.begin(), tally.api_ms.end());
        all.refused += tally.refused;
        all.bytes += tally.bytes;
    }
    size_t pages = all.page_ms.size(), apis = all.api_ms.size();
    double page_p50 = Percentile(&all.page_ms, 0.5), page_p99 = Percentile(&all.page_ms, 0.99);
    double api_p50 = Percentile(&all.api_ms, 0.5), api_p99 = Percentile(&all.api_ms, 0.99);
    std::printf("hammer_pages=%zu page_p50_ms=%.3f page_p99_ms=%.3f apis=%zu api_p50_ms=%.3f api_p99_ms=%.3f "
                "refused=%llu mb=%.1f\n",
                pages, page_p50, page_p99, apis, api_p50, api_p99, static_cast<unsigned long long>(all.refused),
                all.bytes / 1e6);
    return 0;
}
