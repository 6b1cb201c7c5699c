#include "metrics.h"

#include <unistd.h>

#include <cstdio>
#include <initializer_list>
#include <iterator>

#include "core/text/format.h"
#include "core/version.h"

namespace skerrow_master {

namespace {

struct Labelled {
    const char* label; // the label's value
    uint64_t value;
};

class Exposition {
public:
    // A family of one sample.
    void Add(const char* name, const char* type, const char* help, uint64_t value, const std::string& labels = "") {
        Head(name, type, help);
        Sample(name, labels, value);
    }
    // A counter with one sample per value of one label.
    void Add(const char* name, const char* help, const char* label, std::initializer_list<Labelled> samples) {
        Head(name, "counter", help);
        for (const Labelled& sample : samples) {
            Sample(name, fmt::format("{}=\"{}\"", label, sample.label), sample.value);
        }
    }
    void Head(const char* name, const char* type, const char* help) {
        fmt::format_to(std::back_inserter(text_), "# HELP {0} {1}\n# TYPE {0} {2}\n", name, help, type);
    }
    void Sample(const char* name, const std::string& labels, uint64_t value) {
        if (labels.empty()) {
            fmt::format_to(std::back_inserter(text_), "{} {}\n", name, value);
        } else {
            fmt::format_to(std::back_inserter(text_), "{}{{{}}} {}\n", name, labels, value);
        }
    }
    std::string Take() { return std::move(text_); }

private:
    std::string text_;
};

} // namespace

std::string FormatMetrics(const MetricsFigures& figures) {
    const MasterPortCounts& d = figures.datagrams;
    const StoreCounts& c = figures.candidates_dropped;
    Exposition out;
    out.Add("skerrow_master_build_info", "gauge", "The running version.", 1,
            fmt::format("version=\"{}\"", SKERROW_VERSION));
    out.Add("skerrow_master_servers_listed", "gauge", "Servers listed: they answered a check.", figures.listed);
    out.Add("skerrow_master_server_candidates", "gauge", "Servers announced or named upstream, not yet answering.",
            figures.candidates);
    out.Add("skerrow_master_datagrams_total", "Datagrams taken on the master port, by kind.", "kind",
            {{"heartbeat", d.heartbeats}, {"shutdown", d.shutdowns}, {"ping", d.pings}, {"query", d.queries}});
    out.Add("skerrow_master_datagrams_dropped_total", "Datagrams dropped on the master port, by reason.", "reason",
            {{"malformed", d.malformed}, {"oversize", d.oversize}, {"rate_limited", d.rate_limited}});
    out.Add("skerrow_master_candidates_dropped_total", "Announced servers dropped before they were listed, by reason.",
            "reason", {{"tables_full", c.refused}, {"pushed_out", c.evicted}, {"no_answer", c.unverified}});
    out.Add("skerrow_master_status_checks_total", "Status queries sent to servers, and answered.", "outcome",
            {{"sent", figures.checks_sent}, {"answered", figures.checks_answered}});
    out.Add("skerrow_master_list_queries_total", "List queries on the master port.", "outcome",
            {{"answered", d.queries}, {"refused", d.queries_refused}});
    out.Head("skerrow_master_http_responses_total", "counter", "Responses of the web list, by status code.");
    for (const auto& [code, count] : figures.web.responses) {
        out.Sample("skerrow_master_http_responses_total", fmt::format("code=\"{}\"", code), count);
    }
    out.Add("skerrow_master_rate_limited_total", "Requests and datagrams refused by a rate limit.", "port",
            {{"http", figures.web.rate_limited}, {"udp", d.rate_limited}});
    out.Add("skerrow_master_state_saves_total", "Writes of the state file.", "outcome",
            {{"written", figures.state_saves}, {"failed", figures.state_save_failures}});
    out.Add("skerrow_master_log_lines_dropped_total", "counter", "Log lines dropped while nobody read them.",
            figures.log_lines_dropped);
    out.Add("process_resident_memory_bytes", "gauge", "Resident memory size in bytes.", figures.resident_bytes);
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

} // namespace skerrow_master
