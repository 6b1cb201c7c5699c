// The one way a worker reports to the user interface thread: it pushes into a queue, and the taker (the window,
// woken by one posted message) takes everything queued at once. Portable (no Win32).
//
// The first push after an empty take calls `wake`; after a take that found something the taker comes back by itself
// a moment later, so a stream of reports costs one wake-up, not one per report. A push may ask for a wake-up
// whatever the taker said (a run's table or its end, a search's find). The lock is held only to push or take,
// never across the call of `wake`, and the lock with everything it guards is this class's own.
#pragma once

#include <condition_variable>
#include <functional>
#include <mutex>
#include <utility>

template <typename Queue> class WakingChannel {
public:
    explicit WakingChannel(std::function<void()> wake) : wake_(std::move(wake)) {}
    WakingChannel(const WakingChannel&) = delete;
    WakingChannel& operator=(const WakingChannel&) = delete;

    // The worker's side: `add(queue)` under the lock, then the wake-up when one is due.
    template <typename Add> void Push(Add&& add, bool forceWake = false) {
        std::unique_lock<std::mutex> lock(mutex_);
        add(queue_);
        bool wake = (forceWake || !woken_) && !detached_ && wake_;
        woken_ = true;
        if (!wake) {
            return;
        }
        ++wakesUnderWay_;
        lock.unlock();
        wake_();
        lock.lock();
        if (--wakesUnderWay_ == 0 && detached_) {
            wakesEnded_.notify_all();
        }
    }

    // The taker's side: `take(queue)` under the lock moves the queue out and says whether it found something; only
    // a take that found nothing lets the next push wake the taker.
    template <typename TakeAll> auto Take(TakeAll&& take) {
        std::lock_guard<std::mutex> lock(mutex_);
        bool found = false;
        auto taken = take(queue_, found);
        woken_ = found;
        return taken;
    }

    // The taker is gone for good: no wake-up starts after this, and one under way (a posted message, which takes
    // microseconds) has returned when it does, so `wake` may capture what the taker owns. Pushes go on into the
    // queue, which nobody takes.
    void Detach() {
        std::unique_lock<std::mutex> lock(mutex_);
        detached_ = true;
        wakesEnded_.wait(lock, [this] { return wakesUnderWay_ == 0; });
    }

private:
    const std::function<void()> wake_;
    std::mutex mutex_;
    std::condition_variable wakesEnded_;
    Queue queue_;           // under mutex_
    bool woken_ = false;    // the taker will come without a new wake-up; under mutex_
    bool detached_ = false; // under mutex_
    int wakesUnderWay_ = 0; // calls of wake_ not yet returned; under mutex_
};
