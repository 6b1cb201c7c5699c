// Token buckets per source address: each source may spend `burst` at once and earns `per_second` back. The table of
// sources is bounded; buckets that have filled up again are forgotten (a fresh one is the same), and while the
// table is full of busy sources a new source is refused rather than let memory grow.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <unordered_map>

class RateLimiter {
public:
    using Clock = std::chrono::steady_clock;

    RateLimiter(double burst, double per_second, size_t max_sources)
        : burst_(burst), per_second_(per_second), max_sources_(max_sources) {}

    // Spends one token of the source's bucket; false when it has none left.
    bool Allow(uint32_t source, Clock::time_point now);

private:
    struct Bucket {
        double tokens;
        Clock::time_point updated;
    };

    double Refilled(const Bucket& bucket, Clock::time_point now) const;
    void ForgetFullBuckets(Clock::time_point now);

    double burst_;
    double per_second_;
    size_t max_sources_;
    std::unordered_map<uint32_t, Bucket> buckets_;
    Clock::time_point last_prune_{};
};
