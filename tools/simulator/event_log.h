// What the simulator saw and did, one line an event, each led by the CLOCK_MONOTONIC time in microseconds. Kept
// in memory for the control channel and, when a file is given, appended to it line by line.
#pragma once

#include <cstdint>
#include <cstdio>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

uint64_t MonotonicMicros();

// The text with backslash, the bytes in extra and every byte outside printable ASCII written as \xHH.
std::string EscapeForLog(std::string_view text, std::string_view extra);

class EventLog {
public:
    EventLog() = default;
    EventLog(const EventLog&) = delete;
    EventLog& operator=(const EventLog&) = delete;
    ~EventLog();

    // Appends to the file from now on. Clear() leaves the file alone.
    bool OpenFile(const std::string& path, std::string* error);

    void Add(std::string_view event);
    std::vector<std::string> Lines() const;
    void Clear();

private:
    mutable std::mutex mutex_;
    std::vector<std::string> lines_;
    FILE* file_ = nullptr;
};
