// The skerrow-master program itself: started as a daemon is, ended by a signal.
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "service_harness.h"

extern char** environ;

namespace {

class Program {
public:
    explicit Program(std::vector<std::string> arguments) {
        arguments.insert(arguments.begin(), SKERROW_MASTER_BINARY);
        std::vector<char*> argv;
        for (std::string& argument : arguments) {
            argv.push_back(argument.data());
        }
        argv.push_back(nullptr);
        int pipe_fds[2];
        EXPECT_EQ(pipe(pipe_fds), 0);
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
        ServerAddress http{0x7F000001, static_cast<uint16_t>(std::stoi(started.substr(port_at)))};
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
}

} // namespace
