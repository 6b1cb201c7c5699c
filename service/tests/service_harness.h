// The service run in-process on loopback ports the system picks, and the clients the tests talk to it with.
#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "loopback_client.h"
#include "skerrow_master.h"

namespace skerrow_master {

using std::chrono::milliseconds;

// Loopback, ports 0, and timings short enough for a test.
ServiceOptions TestOptions();

class RunningService {
public:
    explicit RunningService(ServiceOptions options = TestOptions());
    ~RunningService() { Stop(); }

    bool started() const { return started_; }
    const std::string& error() const { return error_; }
    ListEntry http() const { return http_; }
    ListEntry udp() const { return udp_; }
    ListEntry metrics() const { return metrics_; }
    // Ends it as SIGTERM does and waits until it has.
    void Stop();
    std::vector<std::string> Log() const;
    // The first log line that contains the text, waiting up to the timeout for it; empty when none came.
    std::string AwaitLog(const std::string& text, milliseconds timeout = milliseconds(5000)) const;

private:
    asio::io_context io_;
    std::unique_ptr<SkerrowMaster> master_;
    std::thread thread_;
    mutable std::mutex mutex_;
    std::vector<std::string> log_;
    bool started_ = false;
    std::string error_;
    ListEntry http_;
    ListEntry udp_;
    ListEntry metrics_;
};

// What a real parser makes of the service's web output (service/tests/validate_web.py: html, servers, health or
// metrics): the texts, names or samples it printed, a line each; "FAILED: " and why when the parser refused it.
std::string Validated(const std::string& kind, const std::string& text);

// Polls the condition every few milliseconds until it holds or the timeout passes; returns its last value.
bool WaitUntil(const std::function<bool()>& condition, milliseconds timeout = milliseconds(5000));

// The web list's entries for a mod, as a set of "a.b.c.d:port".
std::vector<std::string> ListedFor(const ListEntry& http, const std::string& mod);

// A UDP socket on loopback for the test's side of the master protocol.
class UdpPeer {
public:
    explicit UdpPeer(uint32_t host = 0x7F000001, uint16_t port = 0);
    ~UdpPeer();
    ListEntry address() const { return address_; }
    void Send(const ListEntry& to, const std::string& datagram) const;
    // Sent from this peer's port but another loopback address, as a forged source would.
    void SendFrom(uint32_t source, const ListEntry& to, const std::string& datagram) const {
        skerrow_master::SendFrom(fd_, source, to, datagram);
    }
    // The datagrams that arrive until `quiet` passes without one; each with its sender.
    std::vector<std::pair<ListEntry, std::string>> Receive(milliseconds quiet = milliseconds(300)) const;

private:
    int fd_ = -1;
    ListEntry address_;
};

} // namespace skerrow_master
