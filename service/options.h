// The command line:
//   skerrow-master [--http ADDR:PORT] [--udp ADDR:PORT] [--metrics ADDR:PORT] [--upstream HOST:PORT]... [--mods FILE]
//                  [--state FILE] [--expire SECONDS] [--recheck SECONDS]
#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "server_address.h"
#include "server_store.h"
#include "web_limits.h"

namespace skerrow_master {

struct Upstream {
    std::string host; // a name or a dotted quad
    std::string port;
};

struct ServiceOptions {
    ListEntry http{0, 80};
    ListEntry udp{0, 27900};
    std::optional<ListEntry> metrics; // none: no metrics
    std::vector<Upstream> upstreams;
    std::string mods_path;  // empty: the browser's built-in list
    std::string state_path; // empty: no state file
    std::chrono::seconds expire{900};
    std::chrono::seconds recheck{60}; // a listed server's status is asked again this often

    // Not on the command line: the tests shorten them.
    CheckTiming timing;
    StoreLimits limits;
    int checks_per_second = 10000;
    size_t max_sources = 65536; // the master port's tables of source addresses
    std::chrono::seconds upstream_interval{300};
    WebLimits web;
    std::chrono::milliseconds upstream_answer_window{5000}; // after our query, how long its answer is taken
};

extern const char USAGE[];

// Fills *options from the arguments; false with the reason in *error for anything it cannot take. --help is left to
// the caller, as is --version.
bool ParseOptions(int argc, const char* const* argv, ServiceOptions* options, std::string* error);

} // namespace skerrow_master
