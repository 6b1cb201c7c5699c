// The state file, written on a thread of its own: formatting a large list and waiting for the disk never hold the
// service's loop. The loop hands it snapshots; a newer one replaces one whose writing has not started.
#pragma once

#include <condition_variable>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "log.h"
#include "state_file.h"

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
    std::thread thread_;
};
