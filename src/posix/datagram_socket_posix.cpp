// The run's socket and clock on POSIX systems (the native build, where the engine runs under the sanitizers).
#include "core/run/datagram_socket.h"

#include "bsd/bsd_socket.h"

#include <arpa/inet.h>
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

namespace {

class PosixDatagramSocket final : public DatagramSocket {
public:
    PosixDatagramSocket(int fd, int wakeRead, int wakeWrite) : fd_(fd), wakeRead_(wakeRead), wakeWrite_(wakeWrite) {}
    ~PosixDatagramSocket() override {
        close(fd_);
        close(wakeRead_);
        close(wakeWrite_);
    }

    int SendTo(uint32_t addr, uint16_t port, const void* data, size_t size) override {
        sockaddr_in to = Ipv4SocketAddress(addr, port);
        ssize_t sent = sendto(fd_, data, size, 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
        return sent < 0 ? errno : 0;
    }

    int AllowBroadcast() override {
        int on = 1;
        return setsockopt(fd_, SOL_SOCKET, SO_BROADCAST, &on, sizeof on) == 0 ? 0 : errno;
    }

    ReceiveStatus ReceiveFrom(char* buffer, size_t capacity, size_t& length, uint32_t& addr, uint16_t& port) override {
        sockaddr_in from{};
        socklen_t fromSize = sizeof from;
        // MSG_TRUNC reports a datagram's whole length, so one longer than the buffer is known to be lost.
        ssize_t got = recvfrom(fd_, buffer, capacity, MSG_TRUNC, reinterpret_cast<sockaddr*>(&from), &fromSize);
        if (got < 0) {
            return errno == ECONNREFUSED || errno == EINTR ? ReceiveStatus::Skipped : ReceiveStatus::Empty;
        }
        if (static_cast<size_t>(got) > capacity) {
            return ReceiveStatus::Skipped;
        }
        length = static_cast<size_t>(got);
        addr = from.sin_addr.s_addr;
        port = ntohs(from.sin_port);
        return ReceiveStatus::Datagram;
    }

    bool WaitReadable() override { return WaitUpTo(-1) == Wait::Readable; }

    Wait WaitReadableFor(uint32_t timeoutMs) override {
        return WaitUpTo(timeoutMs > INT32_MAX ? INT32_MAX : static_cast<int>(timeoutMs));
    }

    void Interrupt() override {
        char byte = 1;
        // The pipe stays readable from now on: every later wait ends at once too.
        [[maybe_unused]] ssize_t written = write(wakeWrite_, &byte, 1);
    }

    bool Interrupted() override {
        pollfd stop{wakeRead_, POLLIN, 0};
        return poll(&stop, 1, 0) > 0;
    }

private:
    Wait WaitUpTo(int timeoutMs) {
        pollfd ready[2] = {{fd_, POLLIN, 0}, {wakeRead_, POLLIN, 0}};
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

    int fd_;
    int wakeRead_;
    int wakeWrite_;
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
    return std::make_unique<PosixDatagramSocket>(fd, wake[0], wake[1]);
}

uint32_t RunClockMs() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<uint32_t>(static_cast<uint64_t>(now.tv_sec) * 1000u +
                                 static_cast<uint64_t>(now.tv_nsec) / 1000000u);
}

FineTimerScope::FineTimerScope() = default;
FineTimerScope::~FineTimerScope() = default;
