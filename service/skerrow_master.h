// The whole service on one io_context: the server store, the master port, the checker, the upstream masters, the
// web list (with the page and the API), the metrics and the state file, with the timers that sweep the store, save the
// state and log a summary. main() runs it in the process; the tests run it in-process on ports the system picks. The
// state file is written by a thread of its own (StateSaver); everything else runs on the io_context's one thread.
#pragma once

#include <boost/asio/io_context.hpp>
#include <boost/asio/steady_timer.hpp>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "checker.h"
#include "answer_cache.h"
#include "log.h"
#include "master_port.h"
#include "mod_list.h"
#include "options.h"
#include "server_store.h"
#include "state_saver.h"
#include "upstreams.h"
#include "web_server.h"

namespace skerrow_master {

class SkerrowMaster {
public:
    SkerrowMaster(asio::io_context& io, ServiceOptions options, LogSink log);

    // Reads the mods and state files and opens the sockets; false with the reason, leaving nothing open.
    bool Start(std::string* error);
    // Saves the state and closes everything, so the io_context runs out of work.
    void Stop();
    // How many log lines were dropped since the start, for the metrics.
    void set_log_dropped(std::function<uint64_t()> count) { log_dropped_ = std::move(count); }

    ListEntry http_address() const { return web_.local(); }
    ListEntry udp_address() const { return master_port_.local(); }
    ListEntry metrics_address() const { return metrics_.local(); }

private:
    bool OpenSockets(std::string* error);
    bool RestoreState(std::string* error);
    void SaveState(bool at_exit);
    void Every(asio::steady_timer* timer, Clock::duration period, void (SkerrowMaster::*step)());
    void Sweep();
    void SaveIfDue();
    void Summarize();
    std::string Metrics();

    ServiceOptions options_;
    LogSink log_;
    std::vector<ModPair> mods_;
    FiltersText filters_;
    AnswerCache answers_;
    ServerStore store_;
    Checker checker_;
    MasterPort master_port_;
    Upstreams upstreams_;
    WebServer web_;
    WebServer metrics_; // with --metrics
    asio::steady_timer sweep_timer_;
    asio::steady_timer save_timer_;
    asio::steady_timer summary_timer_;
    Clock::time_point last_save_{};
    uint64_t saved_list_version_ = 0;
    uint64_t saved_answer_version_ = 0;
    MasterPortCounts total_;
    StoreCounts store_total_;
    std::function<uint64_t()> log_dropped_;
    std::unique_ptr<StateSaver> saver_; // with --state
    // The servers the state file held at start: no shorter list replaces it until the restored ones are checked.
    size_t restored_held_ = 0;
};

} // namespace skerrow_master
