// Where the service's log lines go: one line per notable event. The daemon writes them to standard error with the
// time in front; the tests collect them. A sink may be called from any of the service's threads.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace skerrow_master {

using LogSink = std::function<void(const std::string& line)>;

// "2026-12-07T15:36:45Z <line>" to a descriptor (the daemon's standard error), written by a thread of its own from
// a bounded queue, so a reader that stalls or has gone never holds the service: while the queue is full, lines are
// dropped and counted, and the count goes out as a line of its own before the next line that is taken.
class LogWriter {
public:
    LogWriter(int fd, size_t max_queued);
    // Waits up to a second for the queue to be written, then leaves a stuck writer to the end of the process.
    ~LogWriter();
    LogWriter(const LogWriter&) = delete;
    LogWriter& operator=(const LogWriter&) = delete;

    // Never waits for the reader.
    void Write(const std::string& line);
    LogSink Sink();
    // Lines dropped since the start.
    uint64_t dropped() const;

    struct Shared;

private:
    std::shared_ptr<Shared> shared_;
};

} // namespace skerrow_master
