#include "rate_limiter.h"

#include <algorithm>

namespace {

// A full table is swept at most this often, so a flood of new sources does not make every refusal a sweep.
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

bool RateLimiter::Allow(uint32_t source, Clock::time_point now) {
    auto it = buckets_.find(source);
    if (it == buckets_.end()) {
        if (buckets_.size() >= max_sources_ && now - last_prune_ >= PRUNE_INTERVAL) {
            ForgetFullBuckets(now);
        }
        if (buckets_.size() >= max_sources_) {
            return false;
        }
        it = buckets_.emplace(source, Bucket{burst_, now}).first;
    }
    Bucket& bucket = it->second;
    bucket.tokens = Refilled(bucket, now);
    bucket.updated = now;
    if (bucket.tokens < 1.0) {
        return false;
    }
    bucket.tokens -= 1.0;
    return true;
}
