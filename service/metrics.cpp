#include "metrics.h"

#include <unistd.h>

#include <cstdio>

#include "core/version.h"

namespace {

class Exposition {
public:
    // Starts a metric family: its HELP and TYPE lines.
    void Family(const char* name, const char* type, const char* help) {
        name_ = name;
        text_ += std::string("# HELP ") + name + " " + help + "\n# TYPE " + name + " " + type + "\n";
    }
    void Sample(uint64_t value, const std::string& labels = "") {
        text_ += name_ + (labels.empty() ? "" : "{" + labels + "}") + " " + std::to_string(value) + "\n";
    }
    std::string Take() { return std::move(text_); }

private:
    std::string name_;
    std::string text_;
};

} // namespace

std::string FormatMetrics(const MetricsFigures& figures) {
    Exposition out;
    out.Family("skerrow_master_build_info", "gauge", "The running version.");
    out.Sample(1, std::string("version=\"") + SKERROW_VERSION + "\"");
    out.Family("skerrow_master_servers_listed", "gauge", "Servers listed: they answered a check.");
    out.Sample(figures.listed);
    out.Family("skerrow_master_server_candidates", "gauge", "Servers announced or named upstream, not yet answering.");
    out.Sample(figures.candidates);
    const MasterPortCounts& d = figures.datagrams;
    out.Family("skerrow_master_datagrams_total", "counter", "Datagrams taken on the master port, by kind.");
    out.Sample(d.heartbeats, "kind=\"heartbeat\"");
    out.Sample(d.shutdowns, "kind=\"shutdown\"");
    out.Sample(d.pings, "kind=\"ping\"");
    out.Sample(d.queries, "kind=\"query\"");
    out.Family("skerrow_master_datagrams_dropped_total", "counter", "Datagrams dropped on the master port, by reason.");
    out.Sample(d.malformed, "reason=\"malformed\"");
    out.Sample(d.oversize, "reason=\"oversize\"");
    out.Sample(d.rate_limited, "reason=\"rate_limited\"");
    const StoreCounts& c = figures.candidates_dropped;
    out.Family("skerrow_master_candidates_dropped_total", "counter",
               "Announced servers dropped before they were listed, by reason.");
    out.Sample(c.refused, "reason=\"tables_full\"");
    out.Sample(c.evicted, "reason=\"pushed_out\"");
    out.Sample(c.unverified, "reason=\"no_answer\"");
    out.Family("skerrow_master_status_checks_total", "counter", "Status queries sent to servers, and answered.");
    out.Sample(figures.checks_sent, "outcome=\"sent\"");
    out.Sample(figures.checks_answered, "outcome=\"answered\"");
    out.Family("skerrow_master_list_queries_total", "counter", "List queries on the master port.");
    out.Sample(d.queries, "outcome=\"answered\"");
    out.Sample(d.queries_refused, "outcome=\"refused\"");
    out.Family("skerrow_master_http_responses_total", "counter", "Responses of the web list, by status code.");
    for (const auto& [code, count] : figures.web.responses) {
        out.Sample(count, "code=\"" + std::to_string(code) + "\"");
    }
    out.Family("skerrow_master_rate_limited_total", "counter", "Requests and datagrams refused by a rate limit.");
    out.Sample(figures.web.rate_limited, "port=\"http\"");
    out.Sample(d.rate_limited, "port=\"udp\"");
    out.Family("skerrow_master_state_saves_total", "counter", "Writes of the state file.");
    out.Sample(figures.state_saves, "outcome=\"written\"");
    out.Sample(figures.state_save_failures, "outcome=\"failed\"");
    out.Family("skerrow_master_log_lines_dropped_total", "counter", "Log lines dropped while nobody read them.");
    out.Sample(figures.log_lines_dropped);
    out.Family("process_resident_memory_bytes", "gauge", "Resident memory size in bytes.");
    out.Sample(figures.resident_bytes);
    return out.Take();
}

uint64_t ResidentBytes() {
    unsigned long pages_total = 0;
    unsigned long pages_resident = 0;
    FILE* statm = std::fopen("/proc/self/statm", "r");
    if (!statm) {
        return 0;
    }
    int read = std::fscanf(statm, "%lu %lu", &pages_total, &pages_resident);
    std::fclose(statm);
    return read == 2 ? static_cast<uint64_t>(pages_resident) * static_cast<uint64_t>(sysconf(_SC_PAGESIZE)) : 0;
}
