#include "core/run/run_snapshot.h"

bool DownloadCancel::Arm(std::function<void()> cancel) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (cancelled_) {
        return false;
    }
    cancel_ = std::move(cancel);
    return true;
}

void DownloadCancel::Disarm() {
    std::lock_guard<std::mutex> lock(mutex_);
    cancel_ = nullptr;
}

void DownloadCancel::Cancel() {
    std::lock_guard<std::mutex> lock(mutex_);
    cancelled_ = true;
    if (cancel_) {
        cancel_();
        cancel_ = nullptr;
    }
}

bool DownloadCancel::Cancelled() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return cancelled_;
}
