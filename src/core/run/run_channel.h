// The one way an update run reports to the window that shows it: its table, replies in batches, status texts, and
// its end. Portable (no Win32).
//
// The run's threads push; the user interface thread takes everything queued at once (core/worker/waking_channel.h):
// a stream of replies costs one wake-up. The table, a text shown at once and the end always wake the taker.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/run/server_table.h"
#include "core/worker/waking_channel.h"

struct StatusText {
    std::u16string text;
    bool atOnce; // shown at once, after anything still waiting (a run's closing line); else at the bar's rate
};

// What a take returns, to be applied in this order.
struct RunReport {
    // The run's table, its records not yet answered: shown from now on, in place of the one shown so far (its rows
    // go first).
    std::shared_ptr<ServerTable> table;
    // Records of the run's table answered since the last take, in the order they were accepted. From the take on,
    // no thread of the run writes them again.
    std::vector<int32_t> replies;
    std::vector<StatusText> texts; // oldest first
    bool ended = false;            // the run's last report: nothing follows

    bool Empty() const { return !table && replies.empty() && texts.empty() && !ended; }
};

class RunChannel {
public:
    explicit RunChannel(std::function<void()> wake) : channel_(std::move(wake)) {}

    // The run's side.
    void PushStatus(std::u16string text, bool atOnce = false);
    void PushReply(int32_t index, std::u16string text);
    void PushTable(std::shared_ptr<ServerTable> table);
    void PushEnd();

    // The taker's side.
    RunReport Take();
    // The taker is gone for good: see WakingChannel::Detach.
    void Detach() { channel_.Detach(); }

private:
    // Kept waiting texts per run of texts shown at the bar's rate: a third drops the older two, so a flood shows its
    // latest while a query's line and the one right after it are both seen.
    static constexpr size_t RATED_TEXTS_KEPT = 2;

    struct Queue {
        RunReport report;
        size_t ratedTexts = 0; // trailing texts of the report shown at the bar's rate

        void KeepText(std::u16string text, bool atOnce);
    };

    WakingChannel<Queue> channel_;
};
