// Token buckets per source (an address, or a /24): each source may spend `burst` at once and earns `per_second`
// back. The table of sources is bounded: buckets that have filled up again are forgotten (a fresh one is the same),
// and while the table is still full of busy sources a new source pushes one of them out instead of being refused,
// so a flood of forged sources never locks real ones out. A source pushed out starts again with a full bucket, which
// any new forged address has anyway.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <unordered_map>

namespace skerrow_master {

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

} // namespace skerrow_master
