// The run's socket and clock on Windows: Winsock with an event per socket, and the multimedia timer.
#include "core/run/datagram_socket.h"

#include "platform/bsd/bsd_socket.h"
#include "platform/win32/win_holders.h"

#include <winsock2.h>
#include <windows.h>
#include <mmsystem.h>

#include <utility>

namespace {

// A wait with no end is Windows' own.
static_assert(BsdDatagramSocket::WAIT_FOREVER_MS == INFINITE, "INFINITE is the longest wait");

class WinsockDatagramSocket final : public BsdDatagramSocket {
public:
    WinsockDatagramSocket(SOCKET socket, KernelHandle readable, KernelHandle stop)
        : BsdDatagramSocket(socket), readable_(std::move(readable)), stop_(std::move(stop)) {}

    Wait WaitReadableFor(uint32_t timeoutMs) override {
        HANDLE events[2] = {stop_.get(), readable_.get()};
        DWORD got = WaitForMultipleObjects(2, events, FALSE, timeoutMs);
        return got == WAIT_OBJECT_0 + 1 ? Wait::Readable : got == WAIT_TIMEOUT ? Wait::Timeout : Wait::Interrupted;
    }

    void Interrupt() override { SetEvent(stop_.get()); }

    bool Interrupted() override { return WaitForSingleObject(stop_.get(), 0) == WAIT_OBJECT_0; }

private:
    KernelHandle readable_; // automatic reset, set by Winsock when a datagram arrives (WSAEventSelect)
    KernelHandle stop_;     // manual reset: once set, every wait ends
};

// An automatic-reset event: a wait with the multimedia timer's 1 ms resolution.
class EventWakeSignal final : public WakeSignal {
public:
    explicit EventWakeSignal(KernelHandle event) : event_(std::move(event)) {}
    void Set() override { SetEvent(event_.get()); }
    void Wait(uint32_t timeoutMs) override { WaitForSingleObject(event_.get(), timeoutMs); }

private:
    KernelHandle event_;
};

// Without an event (no handles left) the wait still lasts its time.
class SleepWakeSignal final : public WakeSignal {
public:
    void Set() override {}
    void Wait(uint32_t timeoutMs) override { Sleep(timeoutMs); }
};

} // namespace

std::unique_ptr<WakeSignal> MakeWakeSignal() {
    KernelHandle event(CreateEventW(nullptr, FALSE, FALSE, nullptr));
    if (!event) {
        return std::make_unique<SleepWakeSignal>();
    }
    return std::make_unique<EventWakeSignal>(std::move(event));
}

std::unique_ptr<DatagramSocket> OpenDatagramSocket(int receiveBufferBytes, int& error) {
    KernelHandle readable(CreateEventW(nullptr, FALSE, FALSE, nullptr));
    KernelHandle stop(readable ? CreateEventW(nullptr, TRUE, FALSE, nullptr) : nullptr);
    if (!stop) {
        error = static_cast<int>(GetLastError());
        return nullptr;
    }
    SOCKET socket = ::socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    // WSAEventSelect also makes the socket non-blocking.
    if (socket == INVALID_SOCKET || WSAEventSelect(socket, readable.get(), FD_READ) != 0) {
        error = WSAGetLastError();
        if (socket != INVALID_SOCKET) {
            closesocket(socket);
        }
        return nullptr;
    }
    setsockopt(socket, SOL_SOCKET, SO_RCVBUF, reinterpret_cast<const char*>(&receiveBufferBytes),
               sizeof receiveBufferBytes);
    error = 0;
    return std::make_unique<WinsockDatagramSocket>(socket, std::move(readable), std::move(stop));
}

uint32_t RunClockMs() {
    return timeGetTime();
}

FineTimerScope::FineTimerScope() {
    timeBeginPeriod(1);
}

FineTimerScope::~FineTimerScope() {
    timeEndPeriod(1);
}
