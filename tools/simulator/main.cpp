// skerrow-sim: a stand-in for the Quake II master web service, classic UDP masters and any number of game servers,
// for tests, the demo and benchmarks. Usage is in README.md and in --help.
#include <signal.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>
#include <fcntl.h>

#include <cerrno>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "engine.h"
#include "generator.h"

namespace {

const char USAGE[] =
    "usage: skerrow-sim [--scenario FILE]... [--servers N [--seed S] [--distinct-addresses]]\n"
    "                   [--http ADDR:PORT] [--control ADDR:PORT] [--log FILE] [--time-limit SECONDS] [--daemon]\n"
    "       skerrow-sim --stop --control ADDR:PORT\n"
    "\n"
    "  --scenario FILE       servers and master behaviour (repeatable; see tools/simulator/README.md)\n"
    "  --servers N           add N generated servers (127.0.0.1 ports 27910 up), made from --seed S (default 1)\n"
    "  --distinct-addresses  put the generated servers on 127.0.x.y port 27910 instead\n"
    "  --http ADDR:PORT      the master web service (default 127.0.0.1:80; port 0 picks one)\n"
    "  --control ADDR:PORT   the control channel: LOAD, LOG, CLEAR, QUIT\n"
    "  --log FILE            also append the log to FILE\n"
    "  --time-limit SECONDS  exit after this long (default 600)\n"
    "  --daemon              run in the background; returns once everything is bound\n"
    "  --stop                ask the simulator at --control to exit, and wait until it has\n";

struct Options {
    std::vector<std::string> scenarios;
    size_t generated = 0;
    uint64_t seed = 1;
    bool distinct_addresses = false;
    EngineOptions engine;
    std::string log_path;
    long time_limit = 600;
    bool daemon = false;
    bool stop = false;
};

template <typename Number> bool ParseWhole(const char* text, Number* out) {
    const char* end = text + std::strlen(text);
    auto [stop, result] = std::from_chars(text, end, *out);
    return result == std::errc() && stop == end && stop != text;
}

bool Fail(const std::string& message) {
    std::fprintf(stderr, "skerrow-sim: %s\n", message.c_str());
    return false;
}

bool ParseArguments(int argc, char** argv, Options* options) {
    for (int i = 1; i < argc; ++i) {
        std::string flag = argv[i];
        if (flag == "--help" || flag == "-h") {
            std::fputs(USAGE, stdout);
            std::exit(0);
        }
        if (flag == "--distinct-addresses") {
            options->distinct_addresses = true;
            continue;
        }
        if (flag == "--daemon") {
            options->daemon = true;
            continue;
        }
        if (flag == "--stop") {
            options->stop = true;
            continue;
        }
        if (i + 1 >= argc) {
            return Fail(flag + (flag.compare(0, 2, "--") == 0 ? " needs a value" : ": unexpected argument"));
        }
        const char* value = argv[++i];
        Endpoint endpoint;
        if (flag == "--scenario") {
            options->scenarios.push_back(value);
        } else if (flag == "--servers") {
            if (!ParseWhole(value, &options->generated) || options->generated > MAX_GENERATED_SERVERS) {
                return Fail("--servers takes a count up to " + std::to_string(MAX_GENERATED_SERVERS));
            }
        } else if (flag == "--seed") {
            if (!ParseWhole(value, &options->seed)) {
                return Fail("--seed takes a whole number");
            }
        } else if (flag == "--http" || flag == "--control") {
            if (!ParseEndpoint(value, &endpoint)) {
                return Fail(flag + " takes an address a.b.c.d:port");
            }
            if (flag == "--http") {
                options->engine.http = endpoint;
            } else {
                options->engine.control = endpoint;
            }
        } else if (flag == "--log") {
            options->log_path = value;
        } else if (flag == "--time-limit") {
            if (!ParseWhole(value, &options->time_limit) || options->time_limit < 1) {
                return Fail("--time-limit takes a number of seconds, 1 or more");
            }
        } else {
            return Fail("unknown option " + flag);
        }
    }
    if (options->stop && !options->engine.control) {
        return Fail("--stop needs --control");
    }
    return true;
}

bool ReadScenarios(const Options& options, Scenario* scenario) {
    for (const std::string& path : options.scenarios) {
        std::ifstream file(path, std::ios::binary);
        if (!file) {
            return Fail(path + ": " + std::strerror(errno));
        }
        std::stringstream text;
        text << file.rdbuf();
        Scenario from_file;
        std::string error;
        if (!ParseScenario(text.str(), &from_file, &error)) {
            return Fail(path + ": " + error);
        }
        MergeScenario(scenario, std::move(from_file));
    }
    if (options.generated > 0) {
        Scenario generated;
        generated.servers = GenerateServers(options.generated, options.seed, options.distinct_addresses);
        MergeScenario(scenario, std::move(generated));
    }
    return true;
}

// Thousands of game servers want as many descriptors as we may have.
void RaiseDescriptorLimit() {
    rlimit limit{};
    if (getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur < limit.rlim_max) {
        limit.rlim_cur = limit.rlim_max;
        setrlimit(RLIMIT_NOFILE, &limit);
    }
}

int ConnectTo(const Endpoint& endpoint) {
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address = ToSockaddr(endpoint);
    if (fd >= 0 && connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        close(fd);
        fd = -1;
    }
    return fd;
}

// Sends QUIT, then waits for the control port to close, which it does after everything else.
int StopRunning(const Endpoint& control) {
    int fd = ConnectTo(control);
    if (fd < 0) {
        Fail("no simulator at " + FormatEndpoint(control) + ": " + std::strerror(errno));
        return 1;
    }
    std::string reply;
    char buffer[256];
    ssize_t count = 0;
    if (send(fd, "QUIT\n", 5, MSG_NOSIGNAL) == 5) {
        while ((count = recv(fd, buffer, sizeof buffer, 0)) > 0) {
            reply.append(buffer, static_cast<size_t>(count));
        }
    }
    close(fd);
    if (reply != "OK\n") {
        Fail("QUIT was not taken: " + (reply.empty() ? std::string("no answer") : reply));
        return 1;
    }
    for (int attempt = 0; attempt < 200; ++attempt) {
        fd = ConnectTo(control);
        if (fd < 0) {
            return 0;
        }
        close(fd);
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    Fail("the simulator at " + FormatEndpoint(control) + " is still running");
    return 1;
}

// In the background: the parent waits on a pipe for the child's first line, "ready ..." or what went wrong,
// and exits with it. Returns the write end in the child; does not return in the parent.
int Daemonize() {
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) {
        Fail(std::string("pipe: ") + std::strerror(errno));
        std::exit(1);
    }
    pid_t child = fork();
    if (child < 0) {
        Fail(std::string("fork: ") + std::strerror(errno));
        std::exit(1);
    }
    if (child == 0) {
        close(fds[0]);
        setsid();
        return fds[1];
    }
    close(fds[1]);
    std::string message;
    char buffer[512];
    ssize_t count = 0;
    while ((count = read(fds[0], buffer, sizeof buffer)) > 0 || (count < 0 && errno == EINTR)) {
        message.append(buffer, static_cast<size_t>(count > 0 ? count : 0));
    }
    bool ready = message.compare(0, 6, "ready ") == 0;
    std::fputs(message.empty() ? "skerrow-sim: exited before it was ready\n" : message.c_str(),
               ready ? stdout : stderr);
    std::exit(ready ? 0 : 1);
}

void Report(int fd, const std::string& line) {
    if (fd < 0) {
        std::fputs(line.c_str(), line.compare(0, 6, "ready ") == 0 ? stdout : stderr);
        std::fflush(stdout);
        return;
    }
    ssize_t written = write(fd, line.data(), line.size());
    (void)written; // the parent may already be gone; nothing to tell then
}

} // namespace

int main(int argc, char** argv) {
    Options options;
    if (!ParseArguments(argc, argv, &options)) {
        std::fputs(USAGE, stderr);
        return 64;
    }
    if (options.stop) {
        return StopRunning(*options.engine.control);
    }
    RaiseDescriptorLimit();
    signal(SIGPIPE, SIG_IGN);
    Scenario scenario;
    if (!ReadScenarios(options, &scenario)) {
        return 1;
    }
    int ready_fd = options.daemon ? Daemonize() : -1;

    // Every thread inherits this mask, so the signals that end us reach only the wait below.
    sigset_t ending;
    sigemptyset(&ending);
    for (int signal_number : {SIGINT, SIGTERM, SIGHUP, SIGUSR1}) {
        sigaddset(&ending, signal_number);
    }
    pthread_sigmask(SIG_BLOCK, &ending, nullptr);

    EventLog log;
    Engine engine(&log);
    engine.set_on_quit([] { kill(getpid(), SIGUSR1); });
    std::string error;
    if ((!options.log_path.empty() && !log.OpenFile(options.log_path, &error)) ||
        !engine.Start(options.engine, std::move(scenario), &error)) {
        Report(ready_fd, "skerrow-sim: " + error + "\n");
        return 1;
    }
    std::string control = options.engine.control ? FormatEndpoint(engine.control_address()) : "-";
    std::string http = engine.http_listening() ? FormatEndpoint(engine.http_address()) : "-";
    Report(ready_fd,
           "ready http=" + http + " control=" + control + " servers=" + std::to_string(engine.servers().size()) + "\n");
    if (ready_fd >= 0) {
        close(ready_fd);
        int null_fd = open("/dev/null", O_RDWR | O_CLOEXEC);
        for (int fd : {0, 1, 2}) {
            dup2(null_fd, fd);
        }
        close(null_fd);
    }

    timespec limit{options.time_limit, 0};
    int received = -1;
    while ((received = sigtimedwait(&ending, nullptr, &limit)) < 0 && errno == EINTR) {
        // An interruption restarts the whole wait; good enough for a limit meant as a safety net.
    }
    engine.Stop();
    return 0;
}
