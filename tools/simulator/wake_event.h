// The eventfd that tells a worker thread blocked in poll or epoll to end, shared by the simulator's socket threads.
#pragma once

#include <sys/eventfd.h>
#include <unistd.h>

#include <cstdint>
#include <thread>

inline int OpenWakeEvent() {
    return eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
}

// Wakes the worker, which ends when it sees the event, and waits for it; nothing when it is not running.
inline void EndWorker(int wake_fd, std::thread* worker) {
    if (!worker->joinable()) {
        return;
    }
    uint64_t one = 1;
    ssize_t written = write(wake_fd, &one, sizeof one);
    (void)written; // a fresh eventfd always takes one increment
    worker->join();
}
