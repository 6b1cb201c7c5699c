// The run's socket and clock on POSIX systems (the native build, where the engine runs under the sanitizers).
#include "core/run/datagram_socket.h"

#include "platform/bsd/bsd_socket.h"

#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <ctime>
#include <mutex>
#include <utility>

namespace {

// A file descriptor, closed when it goes.
class Descriptor {
public:
    explicit Descriptor(int fd = -1) : fd_(fd) {}
    ~Descriptor() {
        if (fd_ >= 0) {
            close(fd_);
        }
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    Descriptor(Descriptor&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }

    int get() const { return fd_; }

private:
    int fd_;
};

class PosixDatagramSocket final : public BsdDatagramSocket {
public:
    PosixDatagramSocket(int socket, Descriptor wakeRead, Descriptor wakeWrite)
        : BsdDatagramSocket(socket), wakeRead_(std::move(wakeRead)), wakeWrite_(std::move(wakeWrite)) {}

    Wait WaitReadableFor(uint32_t timeoutMs) override {
        return WaitUpTo(timeoutMs == WAIT_FOREVER_MS ? -1
                        : timeoutMs > INT32_MAX      ? INT32_MAX
                                                     : static_cast<int>(timeoutMs));
    }

    void Interrupt() override {
        char byte = 1;
        // The pipe stays readable from now on: every later wait ends at once too.
        [[maybe_unused]] ssize_t written = write(wakeWrite_.get(), &byte, 1);
    }

    bool Interrupted() override {
        pollfd stop{wakeRead_.get(), POLLIN, 0};
        return poll(&stop, 1, 0) > 0;
    }

private:
    Wait WaitUpTo(int timeoutMs) {
        pollfd ready[2] = {{socket_, POLLIN, 0}, {wakeRead_.get(), POLLIN, 0}};
        int got = 0;
        while ((got = poll(ready, 2, timeoutMs)) < 0) {
            if (errno != EINTR) {
                return Wait::Interrupted;
            }
        }
        if ((ready[1].revents & POLLIN) != 0) {
            return Wait::Interrupted;
        }
        return got == 0 ? Wait::Timeout : Wait::Readable;
    }

    Descriptor wakeRead_;
    Descriptor wakeWrite_; // the pipe's other end: a byte written makes wakeRead_ readable for good
};

class PosixWakeSignal final : public WakeSignal {
public:
    void Set() override {
        std::lock_guard<std::mutex> lock(mutex_);
        set_ = true;
        signal_.notify_one();
    }

    void Wait(uint32_t timeoutMs) override {
        std::unique_lock<std::mutex> lock(mutex_);
        signal_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [this] { return set_; });
        set_ = false;
    }

private:
    std::mutex mutex_;
    std::condition_variable signal_;
    bool set_ = false;
};

} // namespace

std::unique_ptr<WakeSignal> MakeWakeSignal() {
    return std::make_unique<PosixWakeSignal>();
}

std::unique_ptr<DatagramSocket> OpenDatagramSocket(int receiveBufferBytes, int& error) {
    int fd = socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, IPPROTO_UDP);
    if (fd < 0) {
        error = errno;
        return nullptr;
    }
    int wake[2];
    if (pipe2(wake, O_NONBLOCK | O_CLOEXEC) != 0) {
        error = errno;
        close(fd);
        return nullptr;
    }
    setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &receiveBufferBytes, sizeof receiveBufferBytes);
    error = 0;
    return std::make_unique<PosixDatagramSocket>(fd, Descriptor(wake[0]), Descriptor(wake[1]));
}

uint32_t RunClockMs() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<uint32_t>(static_cast<uint64_t>(now.tv_sec) * 1000u +
                                 static_cast<uint64_t>(now.tv_nsec) / 1000000u);
}

FineTimerScope::FineTimerScope() = default;
FineTimerScope::~FineTimerScope() = default;
