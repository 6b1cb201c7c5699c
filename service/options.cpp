#include "options.h"

#include <charconv>

#include "core/text/format.h"

namespace skerrow_master {

// One line an option, so the manual page (skerrow-master.8) is made from this text at build time.
const char USAGE[] =
    "usage: skerrow-master [--http ADDR:PORT] [--udp ADDR:PORT] [--metrics ADDR:PORT] [--upstream HOST:PORT]...\n"
    "                      [--mods FILE] [--state FILE] [--expire SECONDS] [--recheck SECONDS]\n"
    "\n"
    "  --http ADDR:PORT      the web list: the page of servers at /, the JSON API at /api/servers and /api/health,\n"
    "                        and for the browser /?mod=NAME&raw=2 and /filters (default 0.0.0.0:80)\n"
    "  --udp ADDR:PORT       the Quake II master protocol: heartbeat, shutdown, ping, query (default 0.0.0.0:27900)\n"
    "  --metrics ADDR:PORT   serve Prometheus metrics at /metrics on this address (default: off)\n"
    "  --upstream HOST:PORT  another master whose servers are checked and listed too (repeatable)\n"
    "  --mods FILE           the mod filter text to serve (default: the browser's built-in list)\n"
    "  --state FILE          keep the listed servers in FILE across restarts\n"
    "  --expire SECONDS      unlist a server after this long without an answer (default 900)\n"
    "  --recheck SECONDS     ask each listed server for its status and players this often (default 60)\n"
    "  --version             print the version and exit\n"
    "  --help                print this text and exit\n";

namespace {

bool TakeUpstream(const std::string& value, std::vector<Upstream>* upstreams) {
    size_t colon = value.rfind(':');
    if (colon == std::string::npos || colon == 0) {
        return false;
    }
    unsigned port = 0;
    const char* digits = value.c_str() + colon + 1;
    const char* end = value.c_str() + value.size();
    auto [stop, result] = std::from_chars(digits, end, port);
    if (result != std::errc() || stop != end || port == 0 || port > 65535) {
        return false;
    }
    upstreams->push_back({value.substr(0, colon), fmt::to_string(port)});
    return true;
}

bool TakeSeconds(const std::string& value, std::chrono::seconds* seconds) {
    long count = 0;
    auto [stop, result] = std::from_chars(value.data(), value.data() + value.size(), count);
    if (result != std::errc() || stop != value.data() + value.size() || count < 1 || count > 86400 * 365) {
        return false;
    }
    *seconds = std::chrono::seconds(count);
    return true;
}

bool TakeValue(const std::string& flag, const std::string& value, ServiceOptions* options, std::string* error) {
    bool ok = true;
    if (flag == "--http" || flag == "--udp" || flag == "--metrics") {
        ListEntry address;
        ok = ParseAddress(value, &address);
        (flag == "--http" ? options->http : flag == "--udp" ? options->udp : options->metrics.emplace()) = address;
        *error = flag + " takes an address a.b.c.d:port, not \"" + value + "\"";
    } else if (flag == "--upstream") {
        ok = TakeUpstream(value, &options->upstreams);
        *error = "--upstream takes HOST:PORT, not \"" + value + "\"";
    } else if (flag == "--mods" || flag == "--state") {
        ok = !value.empty();
        (flag == "--mods" ? options->mods_path : options->state_path) = value;
        *error = flag + " takes a file name";
    } else {
        ok = TakeSeconds(value, flag == "--expire" ? &options->expire : &options->recheck);
        *error = flag + " takes a number of seconds, 1 or more";
    }
    return ok;
}

} // namespace

bool ParseOptions(int argc, const char* const* argv, ServiceOptions* options, std::string* error) {
    for (int i = 1; i < argc; ++i) {
        std::string flag = argv[i];
        static const char* const FLAGS[] = {"--http", "--udp",   "--metrics", "--upstream",
                                            "--mods", "--state", "--expire",  "--recheck"};
        bool known = false;
        for (const char* name : FLAGS) {
            known = known || flag == name;
        }
        if (!known) {
            *error = (flag.compare(0, 2, "--") == 0 ? "unknown option " : "unexpected argument ") + flag;
            return false;
        }
        if (i + 1 >= argc) {
            *error = flag + " needs a value";
            return false;
        }
        if (!TakeValue(flag, argv[++i], options, error)) {
            return false;
        }
    }
    options->timing.expire = options->expire;
    options->timing.recheck = options->recheck;
    error->clear();
    return true;
}

} // namespace skerrow_master
