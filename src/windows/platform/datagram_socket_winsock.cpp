// The run's socket and clock on Windows: Winsock with an event per socket, and the multimedia timer.
#include "core/run/datagram_socket.h"

#include "bsd/bsd_socket.h"

#include <winsock2.h>
#include <windows.h>
#include <mmsystem.h>

namespace {

class WinsockDatagramSocket final : public DatagramSocket {
public:
    WinsockDatagramSocket(SOCKET socket, HANDLE readable, HANDLE stop)
        : socket_(socket), readable_(readable), stop_(stop) {}
    ~WinsockDatagramSocket() override {
        closesocket(socket_);
        CloseHandle(readable_);
        CloseHandle(stop_);
    }

    int SendTo(uint32_t addr, uint16_t port, const void* data, size_t size) override {
        sockaddr_in to = Ipv4SocketAddress(addr, port);
        return sendto(socket_, static_cast<const char*>(data), static_cast<int>(size), 0,
                      reinterpret_cast<sockaddr*>(&to), sizeof to) == SOCKET_ERROR
                   ? WSAGetLastError()
                   : 0;
    }

    int AllowBroadcast() override {
        BOOL on = TRUE;
        return setsockopt(socket_, SOL_SOCKET, SO_BROADCAST, reinterpret_cast<const char*>(&on), sizeof on) == 0
                   ? 0
                   : WSAGetLastError();
    }

    ReceiveStatus ReceiveFrom(char* buffer, size_t capacity, size_t& length, uint32_t& addr, uint16_t& port) override {
        sockaddr_in from{};
        int fromSize = sizeof from;
        int got =
            recvfrom(socket_, buffer, static_cast<int>(capacity), 0, reinterpret_cast<sockaddr*>(&from), &fromSize);
        if (got == SOCKET_ERROR) {
            // WSAECONNRESET follows a port-unreachable report from a dead server, WSAEMSGSIZE a datagram longer
            // than the buffer, which is lost: either way the next one is read.
            int error = WSAGetLastError();
            return error == WSAECONNRESET || error == WSAEMSGSIZE ? ReceiveStatus::Skipped : ReceiveStatus::Empty;
        }
        length = static_cast<size_t>(got);
        addr = from.sin_addr.s_addr;
        port = ntohs(from.sin_port);
        return ReceiveStatus::Datagram;
    }

    bool WaitReadable() override { return WaitReadableFor(INFINITE) == Wait::Readable; }

    Wait WaitReadableFor(uint32_t timeoutMs) override {
        HANDLE events[2] = {stop_, readable_};
        DWORD got = WaitForMultipleObjects(2, events, FALSE, timeoutMs);
        return got == WAIT_OBJECT_0 + 1 ? Wait::Readable : got == WAIT_TIMEOUT ? Wait::Timeout : Wait::Interrupted;
    }

    void Interrupt() override { SetEvent(stop_); }

    bool Interrupted() override { return WaitForSingleObject(stop_, 0) == WAIT_OBJECT_0; }

private:
    SOCKET socket_;
    HANDLE readable_; // automatic reset, set by Winsock when a datagram arrives (WSAEventSelect)
    HANDLE stop_;     // manual reset: once set, every wait ends
};

// An automatic-reset event: a wait with the multimedia timer's 1 ms resolution.
class EventWakeSignal final : public WakeSignal {
public:
    explicit EventWakeSignal(HANDLE event) : event_(event) {}
    ~EventWakeSignal() override { CloseHandle(event_); }
    void Set() override { SetEvent(event_); }
    void Wait(uint32_t timeoutMs) override { WaitForSingleObject(event_, timeoutMs); }

private:
    HANDLE event_;
};

// Without an event (no handles left) the wait still lasts its time.
class SleepWakeSignal final : public WakeSignal {
public:
    void Set() override {}
    void Wait(uint32_t timeoutMs) override { Sleep(timeoutMs); }
};

} // namespace

std::unique_ptr<WakeSignal> MakeWakeSignal() {
    HANDLE event = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    if (!event) {
        return std::make_unique<SleepWakeSignal>();
    }
    return std::make_unique<EventWakeSignal>(event);
}

std::unique_ptr<DatagramSocket> OpenDatagramSocket(int receiveBufferBytes, int& error) {
    HANDLE readable = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    HANDLE stop = readable ? CreateEventW(nullptr, TRUE, FALSE, nullptr) : nullptr;
    SOCKET socket = stop ? ::socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP) : INVALID_SOCKET;
    // WSAEventSelect also makes the socket non-blocking.
    if (socket != INVALID_SOCKET && WSAEventSelect(socket, readable, FD_READ) == 0) {
        setsockopt(socket, SOL_SOCKET, SO_RCVBUF, reinterpret_cast<const char*>(&receiveBufferBytes),
                   sizeof receiveBufferBytes);
        error = 0;
        return std::make_unique<WinsockDatagramSocket>(socket, readable, stop);
    }
    error = socket != INVALID_SOCKET || stop ? WSAGetLastError() : static_cast<int>(GetLastError());
    if (socket != INVALID_SOCKET) {
        closesocket(socket);
    }
    if (stop) {
        CloseHandle(stop);
    }
    if (readable) {
        CloseHandle(readable);
    }
    return nullptr;
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
