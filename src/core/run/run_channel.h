// The one way an update run reports to the window that shows it: its table, what happened in order (events), and
// its end. Portable (no Win32).
//
// The run's threads push; the user interface thread takes everything queued at once (core/worker/waking_channel.h):
// a stream of replies costs one wake-up. The table, the end and an event the window shows at once always wake the
// taker. Events are facts (core/run/run_events.h): nothing is formatted for the window on the run's threads.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "core/run/run_events.h"
#include "core/run/server_table.h"
#include "core/worker/waking_channel.h"

// What a take returns, to be applied in this order.
struct RunReport {
    // The run's table, its records not yet answered: shown from now on, in place of the one shown so far (its rows
    // go first).
    std::shared_ptr<ServerTable> table;
    std::vector<RunEvent> events; // oldest first
    std::optional<RunEnd> end;    // the run's last report: nothing follows

    bool Empty() const { return !table && events.empty() && !end; }
};

class RunChannel {
public:
    explicit RunChannel(std::function<void()> wake) : channel_(std::move(wake)) {}

    // The run's side. `atOnce`: the taker is woken whatever it said.
    void Push(RunEvent event, bool atOnce = false);
    void PushTable(std::shared_ptr<ServerTable> table);
    void PushEnd(RunEnd end);

    // The taker's side.
    RunReport Take();
    // The taker is gone for good: see WakingChannel::Detach.
    void Detach() { channel_.Detach(); }

private:
    WakingChannel<RunReport> channel_;
};
