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
