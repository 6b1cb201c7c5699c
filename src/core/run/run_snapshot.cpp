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
    EndTransfer(cancelled_);
}

bool DownloadCancel::Cancelled() const {
    return Read(cancelled_);
}

void DownloadCancel::Expire() {
    EndTransfer(expired_);
}

bool DownloadCancel::Expired() const {
    return Read(expired_);
}

void DownloadCancel::EndTransfer(bool& why) {
    std::lock_guard<std::mutex> lock(mutex_);
    why = true;
    if (cancel_) {
        cancel_();
        cancel_ = nullptr;
    }
}

bool DownloadCancel::Read(const bool& why) const {
    std::lock_guard<std::mutex> lock(mutex_);
    return why;
}
