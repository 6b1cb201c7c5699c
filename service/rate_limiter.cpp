#include "rate_limiter.h"

#include <algorithm>

double RateLimiter::Refilled(const Bucket& bucket, Clock::time_point now) const {
    double seconds = std::chrono::duration<double>(now - bucket.updated).count();
    return std::min(burst_, bucket.tokens + std::max(0.0, seconds) * per_second_);
}

bool RateLimiter::Has(uint32_t source, Clock::time_point now, double cost) const {
    auto it = buckets_.find(source);
    return (it == buckets_.end() ? burst_ : Refilled(*it->second, now)) >= cost;
}

bool RateLimiter::Allow(uint32_t source, Clock::time_point now, double cost) {
    // Buckets that have filled up again are the same as fresh ones: the oldest few go, so the table stays as small
    // as the sources that are busy.
    for (int i = 0;
         i < 2 && !recency_.empty() && recency_.front().source != source && Refilled(recency_.front(), now) >= burst_;
         ++i) {
        buckets_.erase(recency_.front().source);
        recency_.pop_front();
    }
    auto it = buckets_.find(source);
    if (it == buckets_.end()) {
        if (burst_ < cost || max_sources_ == 0) {
            return false;
        }
        if (buckets_.size() >= max_sources_) {
            buckets_.erase(recency_.front().source);
            recency_.pop_front();
        }
        recency_.push_back({source, burst_, now});
        it = buckets_.emplace(source, std::prev(recency_.end())).first;
    } else {
        recency_.splice(recency_.end(), recency_, it->second);
    }
    Bucket& bucket = *it->second;
    bucket.tokens = Refilled(bucket, now);
    bucket.updated = now;
    if (bucket.tokens < cost) {
        return false;
    }
    bucket.tokens -= cost;
    return true;
}
