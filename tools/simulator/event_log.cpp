#include "event_log.h"

#include <cerrno>
#include <cstring>
#include <ctime>

uint64_t MonotonicMicros() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<uint64_t>(now.tv_sec) * 1000000 + static_cast<uint64_t>(now.tv_nsec) / 1000;
}

std::string EscapeForLog(std::string_view text, std::string_view extra) {
    static const char hex[] = "0123456789abcdef";
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        unsigned char byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte >= 0x7f || c == '\\' || extra.find(c) != std::string_view::npos) {
            out += "\\x";
            out += hex[byte >> 4];
            out += hex[byte & 15];
        } else {
            out += c;
        }
    }
    return out;
}

EventLog::~EventLog() {
    if (file_) {
        std::fclose(file_);
    }
}

bool EventLog::OpenFile(const std::string& path, std::string* error) {
    FILE* file = std::fopen(path.c_str(), "ae");
    if (!file) {
        *error = "log " + path + ": " + std::strerror(errno);
        return false;
    }
    std::lock_guard<std::mutex> lock(mutex_);
    if (file_) {
        std::fclose(file_);
    }
    file_ = file;
    return true;
}

void EventLog::Add(std::string_view event) {
    // Stamped under the lock, so the lines stay in time order.
    std::lock_guard<std::mutex> lock(mutex_);
    std::string line = std::to_string(MonotonicMicros());
    line += ' ';
    line += event;
    if (file_) {
        std::fprintf(file_, "%s\n", line.c_str());
        std::fflush(file_);
    }
    lines_.push_back(std::move(line));
}

std::vector<std::string> EventLog::Lines() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return lines_;
}

void EventLog::Clear() {
    std::lock_guard<std::mutex> lock(mutex_);
    lines_.clear();
}
