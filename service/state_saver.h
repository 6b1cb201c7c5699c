// The state file, written on a thread of its own: formatting a large list and waiting for the disk never hold the
// service's loop. The loop hands it snapshots; a newer one replaces one whose writing has not started.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "log.h"
#include "state_file.h"

namespace skerrow_master {

class StateSaver {
public:
    // The log is called from the saver's thread.
    StateSaver(std::string path, LogSink log);
    ~StateSaver() { Finish(); }
    StateSaver(const StateSaver&) = delete;
    StateSaver& operator=(const StateSaver&) = delete;

    // `why` names the occasion in a failure's log line: a string literal.
    void Save(std::vector<SavedServer> servers, const char* why);
    // Writes what is handed over, waits until it is on disk and ends the thread.
    void Finish();

    // Saves written and failed since the start; read from any thread.
    uint64_t written() const { return written_; }
    uint64_t failed() const { return failed_; }

private:
    struct Job {
        std::vector<SavedServer> servers;
        const char* why;
    };

    void Run();

    std::string path_;
    LogSink log_;
    std::mutex mutex_; // guards pending_ and ending_
    std::condition_variable wake_;
    std::optional<Job> pending_;
    bool ending_ = false;
    std::atomic<uint64_t> written_{0};
    std::atomic<uint64_t> failed_{0};
    std::thread thread_;
};

} // namespace skerrow_master
