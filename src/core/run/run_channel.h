// The one way an update run reports to the window that shows it: replies in batches, status texts, the table it
// fills, and its end. Portable (no Win32).
//
// The run's threads push; the user interface thread takes everything queued at once. The first push after an empty
// take calls `wake` (which posts one message to the window); after a take that found something the taker comes
// back by itself a moment later, so a stream of replies costs one wake-up, not one per reply. The channel's lock is
// held only to push or take, never across a call out.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "core/run/server_table.h"

struct StatusText {
    std::u16string text;
    bool atOnce; // shown at once, after anything still waiting (a run's closing line); else at the bar's rate
};

// What a take returns, to be applied in this order.
struct RunReport {
    // The list has arrived: the table shown so far must go (its rows first), then AcknowledgeRelease is called.
    bool releaseTable = false;
    // The run's table, its records not yet answered: shown from now on.
    std::shared_ptr<ServerTable> table;
    // Records of the run's table answered since the last take, in the order they were accepted. From the take on,
    // no thread of the run writes them again.
    std::vector<int32_t> replies;
    std::vector<StatusText> texts; // oldest first
    bool ended = false;            // the run's last report: nothing follows
};

class RunChannel {
public:
    explicit RunChannel(std::function<void()> wake) : wake_(std::move(wake)) {}

    // The run's side.
    void PushStatus(std::u16string text, bool atOnce = false);
    void PushReply(int32_t index, std::u16string text);
    void PushTable(std::shared_ptr<ServerTable> table);
    void PushEnd();
    // Asks for the shown table to go and waits until it has, or until the taker is gone (Detach). Returns whether
    // it went.
    bool ReleaseShownTable();

    // The taker's side.
    RunReport Take();
    void AcknowledgeRelease();
    // The taker is gone for good: no more wake-ups (any call of `wake` under way has returned when this does), and
    // a run waiting for it goes on.
    void Detach();

private:
    // Kept waiting texts per run of texts shown at the bar's rate: a third drops the older two, so a flood shows its
    // latest while a query's line and the one right after it are both seen.
    static constexpr size_t RATED_TEXTS_KEPT = 2;

    void PushLocked(std::unique_lock<std::mutex>& lock, bool forceWake);
    void KeepText(std::u16string text, bool atOnce);

    std::function<void()> wake_;
    std::mutex mutex_;
    std::condition_variable released_; // also signals the end of a wake-up call while detaching
    RunReport queued_;           // under mutex_
    size_t ratedTexts_ = 0;      // trailing texts of queued_ shown at the bar's rate; under mutex_
    bool woken_ = false;         // the taker will come without a new wake; under mutex_
    bool releaseAnswered_ = false; // under mutex_
    bool detached_ = false;      // under mutex_
    int wakesUnderWay_ = 0;      // calls of wake_ not yet returned; under mutex_
};
