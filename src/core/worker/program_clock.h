// The program's own time: what its timed work reads (its own update runs, the watched servers' queries, alerts, the
// servers' history), so that tests can replace it and make minutes pass at once. Portable (no Win32).
#pragma once

#include <cstdint>

class ProgramClock {
public:
    virtual ~ProgramClock() = default;
    // Milliseconds on a clock that never goes back (from an unspecified start).
    virtual uint64_t MonotonicMs() = 0;
    // Seconds since 1970-01-01 00:00 UTC, as the system tells the time of day.
    virtual int64_t UnixSeconds() = 0;
};

// The system's clocks; one for the whole process, safe from any thread.
ProgramClock& SystemClock();
