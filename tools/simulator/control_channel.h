// The control channel: a plain-text TCP protocol, one command per connection, served by one blocking thread.
//   LOAD <n>\n<n bytes of scenario>  ->  OK\n | ERROR <message>\n
//   LOG\n                            ->  every log line, then the connection closes
//   CLEAR\n                          ->  OK\n
//   QUIT\n                           ->  OK\n, then the simulator exits
#pragma once

#include <atomic>
#include <functional>
#include <string>
#include <thread>

#include "endpoint.h"

struct ControlCommands {
    std::function<std::string(std::string text)> load; // the whole answer line
    std::function<std::string()> log;                  // the log, a line each
    std::function<void()> clear;
    std::function<void()> quit;
};

class ControlChannel {
public:
    ControlChannel() = default;
    ControlChannel(const ControlChannel&) = delete;
    ControlChannel& operator=(const ControlChannel&) = delete;
    ~ControlChannel() { Stop(); }

    bool Start(const Endpoint& address, ControlCommands commands, std::string* error);
    void Stop();
    Endpoint address() const { return bound_; }

private:
    void Run();
    void Serve(int fd);

    ControlCommands commands_;
    int listen_fd_ = -1;
    Endpoint bound_;
    std::atomic<bool> stopping_{false};
    std::thread thread_;
};
