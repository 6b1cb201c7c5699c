// The whole simulator in one object: the master web service, the game servers, the UDP masters and the control
// channel, over a scenario that can be replaced while it runs. main() wraps it in a process; the tests run it
// in-process.
#pragma once

#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "control_channel.h"
#include "event_log.h"
#include "game_servers.h"
#include "master_service.h"
#include "scenario.h"
#include "udp_masters.h"

struct EngineOptions {
    Endpoint http{0x7f000001, 80};
    std::optional<Endpoint> control;
};

class Engine {
public:
    explicit Engine(EventLog* log) : log_(log), master_(log), game_(log), udp_masters_(log) {}
    Engine(const Engine&) = delete;
    Engine& operator=(const Engine&) = delete;
    ~Engine() { Stop(); }

    // Binds everything; on failure returns false with the reason and leaves nothing open.
    bool Start(const EngineOptions& options, Scenario scenario, std::string* error);
    // Replaces the scenario: rebinds the servers and the UDP masters, swaps what the master answers, opens or closes
    // its listener (refuse), and clears the log. After a failure some of the new scenario may be missing.
    bool Load(Scenario scenario, std::string* error);
    void Stop();

    // Called on the control thread when a client sends QUIT.
    void set_on_quit(std::function<void()> on_quit) { on_quit_ = std::move(on_quit); }

    Endpoint http_address() const { return http_; }
    Endpoint control_address() const { return control_.address(); }
    bool http_listening() const { return master_.running(); }
    // The servers as bound (ports the system chose filled in).
    std::vector<ServerConfig> servers() const;
    std::vector<Endpoint> udp_master_addresses() const;

private:
    bool Apply(Scenario scenario, std::string* error);
    std::string LoadFromControl(std::string text);
    std::string LogText() const;

    EventLog* log_;
    mutable std::mutex mutex_;
    Endpoint http_;
    bool stopped_ = true;
    std::vector<ServerConfig> servers_;
    MasterService master_;
    GameServers game_;
    UdpMasters udp_masters_;
    ControlChannel control_;
    std::function<void()> on_quit_;
};
