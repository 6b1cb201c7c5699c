#include "log.h"

#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <condition_variable>
#include <ctime>
#include <deque>
#include <mutex>
#include <thread>

#include "core/text/format.h"

namespace skerrow_master {

// Owned jointly by the writer and its thread, which may outlive it when the reader never takes the last lines.
struct LogWriter::Shared {
    int fd;
    size_t max_queued;
    std::mutex mutex; // guards what follows
    std::condition_variable changed;
    std::deque<std::string> queue;
    size_t dropped = 0;
    uint64_t dropped_total = 0; // since the start
    bool ending = false;
    bool ended = false;
};

namespace {

std::string Stamped(const std::string& line) {
    std::time_t now = std::time(nullptr);
    std::tm utc{};
    gmtime_r(&now, &utc);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y-%m-%dT%H:%M:%SZ ", &utc);
    return stamp + line + "\n";
}

// Blocks the writer's thread only. A reader that has gone fails the write at once (SIGPIPE is blocked here).
void WriteAll(int fd, const std::string& text) {
    for (size_t written = 0; written < text.size();) {
        ssize_t count = write(fd, text.data() + written, text.size() - written);
        if (count > 0) {
            written += static_cast<size_t>(count);
        } else if (count < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            pollfd ready{fd, POLLOUT, 0};
            poll(&ready, 1, 1000);
        } else if (count == 0 || errno != EINTR) {
            return;
        }
    }
}

void RunWriter(std::shared_ptr<LogWriter::Shared> shared) {
    std::unique_lock<std::mutex> lock(shared->mutex);
    while (true) {
        shared->changed.wait(lock, [&] { return !shared->queue.empty() || shared->ending; });
        if (shared->queue.empty()) {
            break;
        }
        std::deque<std::string> lines;
        lines.swap(shared->queue);
        lock.unlock();
        std::string text;
        for (const std::string& line : lines) {
            text += line;
        }
        WriteAll(shared->fd, text);
        lock.lock();
    }
    shared->ended = true;
    shared->changed.notify_all();
}

std::string DroppedLine(size_t dropped) {
    return Stamped(fmt::format("{} log lines dropped: standard error was not being read", dropped));
}

void Queue(LogWriter::Shared* shared, const std::string& line) {
    std::string text = Stamped(line);
    std::lock_guard<std::mutex> lock(shared->mutex);
    if (shared->queue.size() >= shared->max_queued || shared->ending) {
        ++shared->dropped;
        ++shared->dropped_total;
        return;
    }
    if (shared->dropped > 0) {
        shared->queue.push_back(DroppedLine(shared->dropped));
        shared->dropped = 0;
    }
    shared->queue.push_back(std::move(text));
    shared->changed.notify_one();
}

} // namespace

LogWriter::LogWriter(int fd, size_t max_queued) : shared_(std::make_shared<Shared>()) {
    shared_->fd = fd;
    shared_->max_queued = max_queued;
    // The thread starts with every signal blocked, so signals go to the service's loop.
    sigset_t all, previous;
    sigfillset(&all);
    pthread_sigmask(SIG_SETMASK, &all, &previous);
    std::thread(RunWriter, shared_).detach();
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
}

LogWriter::~LogWriter() {
    std::unique_lock<std::mutex> lock(shared_->mutex);
    if (shared_->dropped > 0) {
        shared_->queue.push_back(DroppedLine(shared_->dropped));
    }
    shared_->ending = true;
    shared_->changed.notify_all();
    shared_->changed.wait_for(lock, std::chrono::seconds(1), [&] { return shared_->ended; });
}

void LogWriter::Write(const std::string& line) {
    Queue(shared_.get(), line);
}

uint64_t LogWriter::dropped() const {
    std::lock_guard<std::mutex> lock(shared_->mutex);
    return shared_->dropped_total;
}

LogSink LogWriter::Sink() {
    // The sink holds the queue, not the writer: a line logged after the writer has ended is counted as dropped.
    return [shared = shared_](const std::string& line) { Queue(shared.get(), line); };
}

} // namespace skerrow_master
