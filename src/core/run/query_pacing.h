// Pacing of status queries: the wait after each query sent. Portable.
#pragma once

#include <cstdint>

// trunc(1000 / packetsPerSecond) ms, computed in floating point. A rate below 1 (the config dialog stores any
// integer) is taken as 1 query per second, so no value makes the engine divide by zero or wait for ever; above
// 1000 the interval is 0, no pacing at all.
inline uint32_t PacingIntervalMs(int32_t packetsPerSecond) {
    double rate = packetsPerSecond < 1 ? 1.0 : static_cast<double>(packetsPerSecond);
    return static_cast<uint32_t>(1000.0 / rate);
}

// Each query is due one pacing interval after the one before it was due, not after its wait ended, so that the time
// each step takes does not add up over a pass. Two queries are still never closer than an interval less the clock's
// millisecond, so a pass catches up on a stall slowly; one that falls behind by more than PACING_BACKLOG_MS starts
// the count afresh rather than sending a burst.
class PacingClock {
public:
    // How far a pass may fall behind its pacing and still catch up, rather than start counting afresh.
    static constexpr uint32_t PACING_BACKLOG_MS = 100;

    PacingClock(uint32_t start, uint32_t interval) : due_(start), interval_(interval) {}

    // Called just after a query went out at `now`; returns how long to wait.
    uint32_t WaitForNext(uint32_t now) {
        due_ += interval_;
        uint32_t backlog = interval_ > PACING_BACKLOG_MS ? interval_ : PACING_BACKLOG_MS;
        if (static_cast<int32_t>(now - due_) > static_cast<int32_t>(backlog)) {
            due_ = now + interval_;
        }
        uint32_t shortest = interval_ > 0 ? interval_ - 1 : 0;
        uint32_t untilDue = static_cast<int32_t>(due_ - now) > 0 ? due_ - now : 0;
        return untilDue > shortest ? untilDue : shortest;
    }

private:
    uint32_t due_;
    uint32_t interval_;
};
