// The service's figures in the Prometheus text format, for "GET /metrics" on the address --metrics names (off the
// public port: operators keep them to themselves).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "master_port.h"
#include "server_store.h"
#include "web_server.h"

namespace skerrow_master {

// Counts are since the start.
struct MetricsFigures {
    size_t listed = 0;
    size_t candidates = 0;
    MasterPortCounts datagrams;
    StoreCounts candidates_dropped;
    uint64_t checks_sent = 0;
    uint64_t checks_answered = 0;
    WebCounts web;
    uint64_t state_saves = 0;
    uint64_t state_save_failures = 0;
    uint64_t log_lines_dropped = 0;
    uint64_t resident_bytes = 0;
};

std::string FormatMetrics(const MetricsFigures& figures);
// This process's resident memory, from /proc; 0 when it cannot be read.
uint64_t ResidentBytes();

} // namespace skerrow_master
