#include "core/history/history_graph.h"

#include <algorithm>
#include <cstdlib>

int GraphTop(int highest, int least) {
    int wanted = std::max({highest, least, 1});
    for (int64_t power = 1;; power *= 10) {
        for (int64_t step : {1, 2, 5}) {
            if (step * power >= wanted) {
                return static_cast<int>(step * power);
            }
        }
    }
}

int GraphX(const GraphFrame& frame, int64_t time) {
    int64_t since = std::clamp<int64_t>(time - (frame.now - HISTORY_SPAN_SECONDS), 0, HISTORY_SPAN_SECONDS);
    return static_cast<int>(since * (frame.width - 1) / HISTORY_SPAN_SECONDS);
}

int GraphY(const GraphFrame& frame, int value, int top) {
    int64_t shown = std::clamp(value, 0, top);
    return frame.height - 1 - static_cast<int>(shown * (frame.height - 1) / top);
}

int BucketX(const GraphFrame& frame, const HistoryBucket& bucket) {
    return GraphX(frame, bucket.Start() + HISTORY_BUCKET_SECONDS / 2);
}

int BucketNearest(const GraphFrame& frame, const std::vector<HistoryBucket>& buckets, int x, int reach) {
    int nearest = -1;
    int distance = reach + 1;
    for (size_t i = 0; i < buckets.size(); ++i) {
        if (buckets[i].Start() + HISTORY_BUCKET_SECONDS <= frame.now - HISTORY_SPAN_SECONDS ||
            buckets[i].Start() > frame.now) {
            continue; // off the graph's edges (the latter from a clock set back since)
        }
        int away = std::abs(BucketX(frame, buckets[i]) - x);
        if (away < distance) {
            distance = away;
            nearest = static_cast<int>(i);
        }
    }
    return nearest;
}

std::vector<int64_t> HourTicks(const GraphFrame& frame, int64_t localOffset, int stepHours) {
    int64_t step = std::max(stepHours, 1) * int64_t{3600};
    int64_t first = frame.now - HISTORY_SPAN_SECONDS;
    // The first local whole step at or after the left edge (floor division, for times before 1970 too).
    int64_t local = first + localOffset;
    int64_t below = local / step * step - (local % step < 0 ? step : 0);
    int64_t tick = (below == local ? below : below + step) - localOffset;
    std::vector<int64_t> ticks;
    for (; tick <= frame.now; tick += step) {
        ticks.push_back(tick);
    }
    return ticks;
}
