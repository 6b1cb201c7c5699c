// The run's UDP socket, clock and timed wake-up: a small interface with one implementation per platform (platform/win32:
// Winsock, in the program; platform/posix, natively), so the query engine above it is the same code in both. Portable (no Win32).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

enum class ReceiveStatus {
    Datagram, // one datagram was read
    Empty,    // nothing is waiting
    Skipped,  // one was lost (larger than the buffer) or a dead server's port-unreachable report came: read on
};

class DatagramSocket {
public:
    virtual ~DatagramSocket() = default;

    // Sends to an IPv4 address (network byte order) and port (host byte order). 0 on success, else the system's
    // error code.
    virtual int SendTo(uint32_t addr, uint16_t port, const void* data, size_t size) = 0;

    // Lets the socket send to broadcast addresses. 0 on success, else the system's error code.
    virtual int AllowBroadcast() = 0;

    // Reads one waiting datagram, never blocking. A datagram longer than `capacity` is Skipped.
    virtual ReceiveStatus ReceiveFrom(char* buffer, size_t capacity, size_t& length, uint32_t& addr,
                                      uint16_t& port) = 0;

    // Blocks until a datagram may be waiting (true) or Interrupt was called (false, now and ever after). Only the
    // receiving thread waits.
    virtual bool WaitReadable() = 0;

    // Waits as WaitReadable does, for at most `timeoutMs`: Timeout when nothing came in that time.
    enum class Wait { Readable, Timeout, Interrupted };
    virtual Wait WaitReadableFor(uint32_t timeoutMs) = 0;

    // Ends every wait for good. Any thread.
    virtual void Interrupt() = 0;
    // Whether Interrupt was called: a worker back from something slow (a name looked up) asks nothing more. Any
    // thread.
    virtual bool Interrupted() = 0;
};

// A UDP socket on a port the system picks, non-blocking, with a receive buffer of up to `receiveBufferBytes`
// (the system may grant less). Null, with the system's error code in `error`, when none can be had.
std::unique_ptr<DatagramSocket> OpenDatagramSocket(int receiveBufferBytes, int& error);

// The IPv4 address (network byte order) of a host name or dotted quad, asking the system's resolver (which may
// take its time). 0 on success, else the resolver's error code.
int ResolveHostIPv4(const std::string& host, uint32_t& addr);

// The millisecond clock the run stamps queries and replies with; wraps every 49.7 days.
uint32_t RunClockMs();

// Milliseconds from `since` to `now` on that clock, correct across its wrap.
inline uint32_t ElapsedMs(uint32_t since, uint32_t now) {
    return now - since;
}

// A wake-up for one waiting thread, with a timeout exact to the clock's millisecond. Set by any thread; a Set
// before the Wait makes that Wait return at once. (A timed wait on std::condition_variable, built on the MinGW
// thread library, oversleeps by 1 to 2 ms on every call, which paced queries add up: measured 11.25 ms apart at
// 10 ms.)
class WakeSignal {
public:
    virtual ~WakeSignal() = default;
    virtual void Set() = 0;
    // Returns once Set was called or `timeoutMs` have passed.
    virtual void Wait(uint32_t timeoutMs) = 0;
};

std::unique_ptr<WakeSignal> MakeWakeSignal();

// While one lives, timed waits of this process are accurate to the millisecond (Windows rounds them to its timer
// tick otherwise).
class FineTimerScope {
public:
    FineTimerScope();
    ~FineTimerScope();
    FineTimerScope(const FineTimerScope&) = delete;
    FineTimerScope& operator=(const FineTimerScope&) = delete;
};
