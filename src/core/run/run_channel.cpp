#include "core/run/run_channel.h"

void RunChannel::KeepText(std::u16string text, bool atOnce) {
    std::vector<StatusText>& texts = queued_.texts;
    if (atOnce) {
        ratedTexts_ = 0;
    } else if (ratedTexts_ == RATED_TEXTS_KEPT) {
        texts.erase(texts.end() - static_cast<std::ptrdiff_t>(ratedTexts_), texts.end());
        ratedTexts_ = 0;
    }
    texts.push_back(StatusText{std::move(text), atOnce});
    if (!atOnce) {
        ++ratedTexts_;
    }
}

// Unlocks, then wakes the taker if this push is the first it has not been woken for (or `forceWake`).
void RunChannel::PushLocked(std::unique_lock<std::mutex>& lock, bool forceWake) {
    bool wake = (forceWake || !woken_) && !detached_ && wake_;
    woken_ = true;
    if (!wake) {
        lock.unlock();
        return;
    }
    ++wakesUnderWay_;
    lock.unlock();
    wake_();
    lock.lock();
    if (--wakesUnderWay_ == 0 && detached_) {
        released_.notify_all();
    }
    lock.unlock();
}

void RunChannel::PushStatus(std::u16string text, bool atOnce) {
    std::unique_lock<std::mutex> lock(mutex_);
    KeepText(std::move(text), atOnce);
    PushLocked(lock, atOnce);
}

void RunChannel::PushReply(int32_t index, std::u16string text) {
    std::unique_lock<std::mutex> lock(mutex_);
    queued_.replies.push_back(index);
    KeepText(std::move(text), false);
    PushLocked(lock, false);
}

void RunChannel::PushTable(std::shared_ptr<ServerTable> table) {
    std::unique_lock<std::mutex> lock(mutex_);
    queued_.table = std::move(table);
    PushLocked(lock, true);
}

void RunChannel::PushEnd() {
    std::unique_lock<std::mutex> lock(mutex_);
    queued_.ended = true;
    PushLocked(lock, true);
}

bool RunChannel::ReleaseShownTable() {
    std::unique_lock<std::mutex> lock(mutex_);
    queued_.releaseTable = true;
    releaseAnswered_ = false;
    PushLocked(lock, true);
    lock.lock();
    released_.wait(lock, [this] { return releaseAnswered_ || detached_; });
    return releaseAnswered_;
}

RunReport RunChannel::Take() {
    RunReport taken;
    std::lock_guard<std::mutex> lock(mutex_);
    std::swap(taken, queued_);
    ratedTexts_ = 0;
    // While reports keep coming the taker comes back by itself; only an empty take lets the next push wake it.
    woken_ = taken.releaseTable || taken.table || !taken.replies.empty() || !taken.texts.empty() || taken.ended;
    return taken;
}

void RunChannel::AcknowledgeRelease() {
    std::lock_guard<std::mutex> lock(mutex_);
    releaseAnswered_ = true;
    released_.notify_all();
}

void RunChannel::Detach() {
    std::unique_lock<std::mutex> lock(mutex_);
    detached_ = true;
    released_.notify_all();
    released_.wait(lock, [this] { return wakesUnderWay_ == 0; });
}
