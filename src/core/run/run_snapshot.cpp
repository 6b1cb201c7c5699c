#include "core/run/run_snapshot.h"

bool DownloadCancel::Arm(std::function<void()> cancel) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (cancelled_ || expired_) {
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
    EndTransfer();
}

bool DownloadCancel::Cancelled() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return cancelled_;
}

void DownloadCancel::Expire() {
    std::lock_guard<std::mutex> lock(mutex_);
    expired_ = true;
    EndTransfer();
}

bool DownloadCancel::Expired() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return expired_;
}

void DownloadCancel::EndTransfer() {
    if (cancel_) {
        cancel_();
        cancel_ = nullptr;
    }
}
