// skerrow-master: the master service Skerrow's browser asks for its lists. Game servers announce themselves with the
// classic Quake II master protocol on UDP; the service checks each one with a status query of its own and lists it
// on the web for the browser, and for qstat on the master port. Usage: README.md, or --help.
#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

#include <boost/asio/signal_set.hpp>

#include <cstdio>
#include <cstring>

#include "core/version.h"
#include "skerrow_master.h"

namespace {

// Lines waiting for a slow reader of standard error; beyond them lines are dropped and counted.
constexpr size_t MAX_QUEUED_LOG_LINES = 4096;

// Each web client takes a descriptor; ask for as many as we may have.
void RaiseDescriptorLimit() {
    rlimit limit{};
    if (getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur < limit.rlim_max) {
        limit.rlim_cur = limit.rlim_max;
        setrlimit(RLIMIT_NOFILE, &limit);
    }
}

} // namespace

int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::fputs(skerrow_master::USAGE, stdout);
            return 0;
        }
        if (std::strcmp(argv[i], "--version") == 0) {
            std::puts("skerrow-master " SKERROW_VERSION);
            return 0;
        }
    }
    skerrow_master::ServiceOptions options;
    std::string error;
    if (!skerrow_master::ParseOptions(argc, argv, &options, &error)) {
        std::fprintf(stderr, "skerrow-master: %s\n%s", error.c_str(), skerrow_master::USAGE);
        return 64;
    }
    RaiseDescriptorLimit();
    signal(SIGPIPE, SIG_IGN);

    boost::asio::io_context io(1);
    skerrow_master::LogWriter writer(STDERR_FILENO, MAX_QUEUED_LOG_LINES);
    skerrow_master::LogSink log = writer.Sink();
    skerrow_master::SkerrowMaster master(io, std::move(options), log);
    master.set_log_dropped([&writer] { return writer.dropped(); });
    if (!master.Start(&error)) {
        log("cannot start: " + error);
        return 1;
    }
    boost::asio::signal_set ending(io, SIGINT, SIGTERM);
    ending.async_wait([&](const boost::system::error_code& ec, int signal_number) {
        if (!ec) {
            log(std::string("ending on ") + (signal_number == SIGINT ? "SIGINT" : "SIGTERM"));
            master.Stop();
            io.stop();
        }
    });
    io.run();
    return 0;
}
