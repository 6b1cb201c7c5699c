// Where a server's last day goes in a small line graph: time from left to right, ending now; values from the bottom
// up to a round top. Pixels of the plot, its top left corner at 0, 0. Portable (no Win32).
#pragma once

#include <cstdint>
#include <vector>

#include "core/history/server_history.h"

struct GraphFrame {
    int64_t now; // the right edge; the left is a day before
    int width;   // of the plot, 2 and up
    int height;
};

// The smallest of 1, 2 and 5 times a power of ten that is at least `highest` and `least`: the value at the top.
int GraphTop(int highest, int least);
// The x of a time (clamped to the plot), the y of a value under `top`.
int GraphX(const GraphFrame& frame, int64_t time);
int GraphY(const GraphFrame& frame, int value, int top);
// The x of a bucket: its stretch's middle.
int BucketX(const GraphFrame& frame, const HistoryBucket& bucket);
// The bucket (an index) nearest to `x` within `reach` pixels, -1 for none: what the pointer shows. Buckets outside
// the day are not drawn, and not found.
int BucketNearest(const GraphFrame& frame, const std::vector<HistoryBucket>& buckets, int x, int reach);
// The times within the day of whole hours `stepHours` apart in local time, oldest first; `localOffset` is local
// time less UTC, in seconds.
std::vector<int64_t> HourTicks(const GraphFrame& frame, int64_t localOffset, int stepHours);
