#include "rate_limiter.h"

#include <algorithm>

namespace skerrow_master {

namespace {

// A full table is swept at most this often, so a flood of new sources does not make every newcomer a sweep.
constexpr std::chrono::seconds PRUNE_INTERVAL(1);

} // namespace

double RateLimiter::Refilled(const Bucket& bucket, Clock::time_point now) const {
    double seconds = std::chrono::duration<double>(now - bucket.updated).count();
    return std::min(burst_, bucket.tokens + std::max(0.0, seconds) * per_second_);
}

void RateLimiter::ForgetFullBuckets(Clock::time_point now) {
    last_prune_ = now;
    for (auto it = buckets_.begin(); it != buckets_.end();) {
        it = Refilled(it->second, now) >= burst_ ? buckets_.erase(it) : std::next(it);
    }
}

bool RateLimiter::Has(uint32_t source, Clock::time_point now, double cost) const {
    auto it = buckets_.find(source);
    return (it == buckets_.end() ? burst_ : Refilled(it->second, now)) >= cost;
}

bool RateLimiter::Allow(uint32_t source, Clock::time_point now, double cost) {
    auto it = buckets_.find(source);
    if (it == buckets_.end()) {
        if (burst_ < cost || max_sources_ == 0) {
            return false;
        }
        if (buckets_.size() >= max_sources_ && now - last_prune_ >= PRUNE_INTERVAL) {
            ForgetFullBuckets(now);
        }
        if (buckets_.size() >= max_sources_) {
            buckets_.erase(buckets_.begin()); // any one: the newcomer is never the one refused
        }
        it = buckets_.emplace(source, Bucket{burst_, now}).first;
    }
    Bucket& bucket = it->second;
    bucket.tokens = Refilled(bucket, now);
    bucket.updated = now;
    if (bucket.tokens < cost) {
        return false;
    }
    bucket.tokens -= cost;
    return true;
}

} // namespace skerrow_master
