// The skerrow-master program itself: started as a daemon is, ended by a signal.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "core/text/format.h"
#include "log.h"
#include "service_harness.h"

extern char** environ;

namespace skerrow_master {

namespace {

class Program {
public:
    // pipe_bytes: the size of the pipe its standard error goes to (0: the system's).
    explicit Program(std::vector<std::string> arguments, int pipe_bytes = 0) {
        arguments.insert(arguments.begin(), SKERROW_MASTER_BINARY);
        std::vector<char*> argv;
        for (std::string& argument : arguments) {
            argv.push_back(argument.data());
        }
        argv.push_back(nullptr);
        int pipe_fds[2];
        EXPECT_EQ(pipe(pipe_fds), 0);
        if (pipe_bytes > 0) {
            EXPECT_EQ(fcntl(pipe_fds[0], F_SETPIPE_SZ, pipe_bytes), pipe_bytes);
        }
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, pipe_fds[1], 2);
        posix_spawn_file_actions_addclose(&actions, pipe_fds[0]);
        EXPECT_EQ(posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ), 0);
        posix_spawn_file_actions_destroy(&actions);
        close(pipe_fds[1]);
        errors_ = fdopen(pipe_fds[0], "r");
    }
    ~Program() {
        if (pid_ > 0) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
        std::fclose(errors_);
    }

    // The next line it writes to standard error, without the time in front; empty at the end.
    std::string NextLine() {
        char line[1024];
        if (!std::fgets(line, sizeof line, errors_)) {
            return "";
        }
        std::string text(line);
        size_t space = text.find(' ');
        return text.substr(space == std::string::npos ? 0 : space + 1);
    }
    int Wait() {
        int status = 0;
        waitpid(pid_, &status, 0);
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    void Signal(int number) { kill(pid_, number); }

private:
    pid_t pid_ = -1;
    FILE* errors_ = nullptr;
};

TEST(Process, EndsCleanlyOnSigtermAndSigint) {
    for (int number : {SIGTERM, SIGINT}) {
        Program program({"--http", "127.0.0.1:0", "--udp", "127.0.0.1:0"});
        std::string started = program.NextLine();
        ASSERT_EQ(started.compare(0, 23, "started: http 127.0.0.1"), 0) << started;
        // The list is served once it says it has started.
        size_t port_at = started.find(':', 20) + 1;
        ListEntry http = FromOctets(0x7F000001, static_cast<uint16_t>(std::stoi(started.substr(port_at))));
        EXPECT_EQ(HttpGet(http, "/?mod=&raw=2").status, 200);
        program.Signal(number);
        EXPECT_EQ(program.NextLine(), number == SIGTERM ? "ending on SIGTERM\n" : "ending on SIGINT\n");
        EXPECT_EQ(program.NextLine().compare(0, 9, "stopped: "), 0);
        EXPECT_EQ(program.Wait(), 0);
    }
}

TEST(Process, RefusesToStartOnBadOptionsOrFiles) {
    Program usage({"--expire", "never"});
    EXPECT_EQ(usage.NextLine(), "--expire takes a number of seconds, 1 or more\n");
    EXPECT_EQ(usage.Wait(), 64);

    std::string odd = testing::TempDir() + "skerrow-master-odd-mods.txt";
    FILE* file = std::fopen(odd.c_str(), "w");
    std::fputs("CTF\nctf\nAction\n", file);
    std::fclose(file);
    Program mods({"--http", "127.0.0.1:0", "--udp", "127.0.0.1:0", "--mods", odd});
    EXPECT_NE(mods.NextLine().find("cannot start: " + odd + ": not a mod filter text"), std::string::npos);
    EXPECT_EQ(mods.Wait(), 1);
    std::remove(odd.c_str());

    // A state or mods path that is no regular file: refused before anything is bound, never waited on.
    std::string fifo = testing::TempDir() + "skerrow-master-state-fifo";
    std::remove(fifo.c_str());
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    Program state({"--http", "127.0.0.1:0", "--udp", "127.0.0.1:0", "--state", fifo});
    EXPECT_EQ(state.NextLine(), "cannot start: state " + fifo + ": not a regular file\n");
    EXPECT_EQ(state.Wait(), 1);
    Program mods_fifo({"--http", "127.0.0.1:0", "--udp", "127.0.0.1:0", "--mods", fifo});
    EXPECT_EQ(mods_fifo.NextLine(), "cannot start: " + fifo + ": not a regular file\n");
    EXPECT_EQ(mods_fifo.Wait(), 1);
    std::remove(fifo.c_str());
}

TEST(Process, KeepsServingWhileNobodyReadsItsLog) {
    // Standard error is a pipe of 4 KB that nobody reads after the first line: about 70 lines fill it.
    Program program({"--http", "127.0.0.1:0", "--udp", "127.0.0.1:0"}, 4096);
    std::string started = program.NextLine();
    ASSERT_EQ(started.compare(0, 23, "started: http 127.0.0.1"), 0) << started;
    size_t port_at = started.find(':', 20) + 1;
    ListEntry http = FromOctets(0x7F000001, static_cast<uint16_t>(std::stoi(started.substr(port_at))));
    size_t udp_at = started.find("udp 127.0.0.1:") + 14;
    ListEntry udp = FromOctets(0x7F000001, static_cast<uint16_t>(std::stoi(started.substr(udp_at))));

    // 150 servers on addresses of their own, each listed with a line of the log.
    std::vector<std::unique_ptr<UdpPeer>> servers;
    for (uint32_t i = 1; i <= 150; ++i) {
        servers.push_back(std::make_unique<UdpPeer>(0x7F000300 + i));
        servers.back()->Send(udp, "\xff\xff\xff\xffheartbeat\n\\gamename\\ctf\n");
    }
    bool all_listed = WaitUntil([&] {
        for (const auto& server : servers) {
            for (const auto& check : server->Receive(milliseconds(0))) {
                server->Send(check.first, "\xff\xff\xff\xffprint\n\\gamename\\ctf\n");
            }
        }
        return ListedFor(http, "ctf").size() == servers.size();
    });
    EXPECT_TRUE(all_listed);
    UdpPeer client;
    client.Send(udp, "\xff\xff\xff\xffping");
    EXPECT_EQ(client.Receive().size(), 1u) << "still answering";

    for (size_t i = 0; i < servers.size(); ++i) {
        std::string line = program.NextLine();
        EXPECT_EQ(line.compare(0, 7, "listed "), 0) << "the lines waited for the reader: " << line;
    }
}

TEST(Process, LogLinesBeyondTheQueueAreDroppedAndCounted) {
    int fds[2];
    ASSERT_EQ(pipe2(fds, O_CLOEXEC), 0);
    ASSERT_EQ(fcntl(fds[0], F_SETPIPE_SZ, 4096), 4096);
    {
        LogWriter writer(fds[1], 8);
        for (int i = 0; i < 500; ++i) {
            writer.Write(fmt::format("line {}", i)); // returns at once, though nobody reads
        }
        // Now a reader comes: what was queued arrives, then the count of what was not, then what follows.
        std::string text;
        auto read_until_quiet = [&] {
            char buffer[4096];
            pollfd ready{fds[0], POLLIN, 0};
            while (poll(&ready, 1, 300) == 1) {
                ssize_t count = read(fds[0], buffer, sizeof buffer);
                text.append(buffer, static_cast<size_t>(count > 0 ? count : 0));
            }
        };
        read_until_quiet();
        writer.Write("after");
        read_until_quiet();
        size_t kept = 0, dropped = 0;
        for (size_t start = 0, end = 0; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
            std::string line = text.substr(start, end - start);
            line = line.substr(line.find(' ') + 1); // after the time
            size_t count_end = line.find(" log lines dropped: standard error was not being read");
            if (count_end != std::string::npos) {
                dropped += std::stoul(line.substr(0, count_end));
            } else if (line != "after") {
                EXPECT_EQ(line, fmt::format("line {}", kept + dropped)) << "in order, none twice";
                ++kept;
            }
        }
        EXPECT_GT(dropped, 0u);
        EXPECT_EQ(kept + dropped, 500u);
        EXPECT_EQ(text.substr(text.size() - 6), "after\n") << "after the count";
    }
    close(fds[0]);
    close(fds[1]);
}

} // namespace

} // namespace skerrow_master
