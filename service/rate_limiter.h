// Token buckets per source (an address, or a /24): each source may spend `burst` at once and earns `per_second`
// back. The table of sources is bounded: when it is full, the source heard from least recently makes room for a new
// one, so a flood of spoofed sources can never lock real ones out (a source pushed out starts again with a full
// bucket, which any new spoofed address has anyway).
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <list>
#include <unordered_map>

class RateLimiter {
public:
    using Clock = std::chrono::steady_clock;

    RateLimiter(double burst, double per_second, size_t max_sources)
        : burst_(burst), per_second_(per_second), max_sources_(max_sources) {}

    // Whether the source's bucket holds `cost` now, spending nothing.
    bool Has(uint32_t source, Clock::time_point now, double cost = 1) const;
    // Spends `cost` of the source's bucket; false (spending nothing) when it does not hold that much.
    bool Allow(uint32_t source, Clock::time_point now, double cost = 1);
    size_t sources() const { return buckets_.size(); }

private:
    struct Bucket {
        uint32_t source;
        double tokens;
        Clock::time_point updated;
    };
    using Recency = std::list<Bucket>; // least recently used first

    double Refilled(const Bucket& bucket, Clock::time_point now) const;

    double burst_;
    double per_second_;
    size_t max_sources_;
    Recency recency_;
    std::unordered_map<uint32_t, Recency::iterator> buckets_;
};
