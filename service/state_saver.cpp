#include "state_saver.h"

namespace skerrow_master {

StateSaver::StateSaver(std::string path, LogSink log)
    : path_(std::move(path)), log_(std::move(log)), thread_([this] { Run(); }) {}

void StateSaver::Save(std::vector<SavedServer> servers, const char* why) {
    std::lock_guard<std::mutex> lock(mutex_);
    pending_ = Job{std::move(servers), why};
    wake_.notify_one();
}

void StateSaver::Finish() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        ending_ = true;
        wake_.notify_one();
    }
    if (thread_.joinable()) {
        thread_.join();
    }
}

void StateSaver::Run() {
    std::unique_lock<std::mutex> lock(mutex_);
    while (true) {
        wake_.wait(lock, [this] { return pending_ || ending_; });
        if (!pending_) {
            return;
        }
        Job job = std::move(*pending_);
        pending_.reset();
        lock.unlock();
        std::string error;
        if (WriteStateFile(path_, FormatState(job.servers), &error)) {
            ++written_;
        } else {
            ++failed_;
            log_(std::string("state not saved (") + job.why + "): " + error);
        }
        lock.lock();
    }
}

} // namespace skerrow_master
