#include "core/history/server_history.h"

#include <gtest/gtest.h>

#include "core/history/history_graph.h"
#include "core/history/history_texts.h"

namespace {

constexpr int64_t DAY_START = 1796601600; // 2026-12-07 00:00 UTC, a bucket's start
constexpr uint32_t ADDR_A = 0x0100007F;   // 127.0.0.1
constexpr uint32_t ADDR_B = 0x0200007F;

HistorySample At(int64_t time, uint32_t ping, int32_t players = 3, int32_t maxClients = 16) {
    return HistorySample{time, ping, players, maxClients};
}

std::vector<uint32_t> SlotsOf(const ServerHistory& server) {
    std::vector<uint32_t> slots;
    for (const HistoryBucket& bucket : server.buckets) {
        slots.push_back(bucket.slot);
    }
    return slots;
}

std::vector<uint32_t> AddrsOf(const ServerHistories& histories) {
    std::vector<uint32_t> addrs;
    for (const ServerHistory& server : histories.Copy()) {
        addrs.push_back(server.addr);
    }
    return addrs;
}

TEST(ServerHistory, SamplesOfFiveMinutesShareABucketAndTheNextStretchStartsAnother) {
    ServerHistories histories;
    histories.Add(ADDR_A, 27910, At(DAY_START + 10, 58, 2, 16));
    histories.Add(ADDR_A, 27910, At(DAY_START + 200, 42, 7, 16));
    histories.Add(ADDR_A, 27910, At(DAY_START + 299, 41, 5, 12));
    histories.Add(ADDR_A, 27910, At(DAY_START + 300, 90, 1, 12)); // the next stretch
    const ServerHistory* server = histories.Find(ADDR_A, 27910);
    ASSERT_NE(server, nullptr);
    ASSERT_EQ(server->buckets.size(), 2u);
    const HistoryBucket& first = server->buckets[0];
    EXPECT_EQ(first.Start(), DAY_START);
    EXPECT_EQ(first.samples, 3);
    EXPECT_EQ(first.lowestPing, 41);
    EXPECT_EQ(first.highestPing, 58);
    EXPECT_EQ(first.MeanPing(), 47); // 141 / 3
    EXPECT_EQ(first.mostPlayers, 7);
    EXPECT_EQ(first.maxClients, 12) << "the last reply's";
    EXPECT_EQ(server->buckets[1].Start(), DAY_START + 300);
    EXPECT_EQ(server->buckets[1].samples, 1);
    EXPECT_EQ(server->lastHeard, DAY_START + 300);
    EXPECT_EQ(histories.BucketCount(), 2u);
    EXPECT_EQ(histories.Find(ADDR_A, 27911), nullptr) << "another port is another server";

    // Values past what a bucket holds are kept as its largest; negative counts as none.
    histories.Add(ADDR_B, 27910, At(DAY_START, 100000, -1, 70000));
    const HistoryBucket& big = histories.Find(ADDR_B, 27910)->buckets[0];
    EXPECT_EQ(big.lowestPing, HISTORY_MAX_VALUE);
    EXPECT_EQ(big.mostPlayers, 0);
    EXPECT_EQ(big.maxClients, HISTORY_MAX_VALUE);
}

TEST(ServerHistory, ADayIsKeptAndOlderBucketsExpire) {
    ServerHistories histories;
    for (int64_t minutes = 0; minutes < 25 * 60; minutes += 5) {
        histories.Add(ADDR_A, 27910, At(DAY_START + minutes * 60, 50));
    }
    const ServerHistory* server = histories.Find(ADDR_A, 27910);
    ASSERT_EQ(server->buckets.size(), HISTORY_BUCKETS_PER_SERVER);
    // The last sample's stretch and the 287 before it: from 01:00 on.
    EXPECT_EQ(server->buckets.front().Start(), DAY_START + 60 * 60);
    EXPECT_EQ(server->buckets.back().Start(), DAY_START + 25 * 3600 - 300);
    EXPECT_EQ(histories.BucketCount(), HISTORY_BUCKETS_PER_SERVER);

    // Expiry without a sample: twelve hours on, half the day has gone; a day on, the server has too.
    histories.Add(ADDR_B, 27910, At(DAY_START + 36 * 3600, 50));
    uint64_t changes = histories.Changes();
    histories.Expire(DAY_START + 37 * 3600);
    EXPECT_GT(histories.Changes(), changes);
    EXPECT_EQ(histories.Find(ADDR_A, 27910)->buckets.size(), 143u) << "from 13:05 to 24:55";
    histories.Expire(DAY_START + 49 * 3600);
    EXPECT_EQ(histories.Find(ADDR_A, 27910), nullptr);
    EXPECT_NE(histories.Find(ADDR_B, 27910), nullptr);
    EXPECT_EQ(histories.BucketCount(), 1u);
    changes = histories.Changes();
    histories.Expire(DAY_START + 49 * 3600);
    EXPECT_EQ(histories.Changes(), changes) << "nothing expired, nothing changed";

    // A clock set back puts its sample in its own stretch, in order, and never keeps more than a day's buckets.
    histories.Add(ADDR_B, 27910, At(DAY_START + 35 * 3600, 70));
    histories.Add(ADDR_B, 27910, At(DAY_START + 36 * 3600 + 30, 30));
    EXPECT_EQ(SlotsOf(*histories.Find(ADDR_B, 27910)),
              (std::vector<uint32_t>{HistorySlotOf(DAY_START + 35 * 3600), HistorySlotOf(DAY_START + 36 * 3600)}));
    EXPECT_EQ(histories.Find(ADDR_B, 27910)->buckets[1].samples, 2);
}

TEST(ServerHistory, TheServersHeardFromLeastRecentlyMakeRoom) {
    ServerHistories histories(HistoryLimits{3, 8});
    for (uint32_t addr : {1u, 2u, 3u}) {
        histories.Add(addr, 27910, At(DAY_START + addr, 50));
    }
    histories.Add(1, 27910, At(DAY_START + 10, 50)); // heard again: the most recent
    EXPECT_EQ(AddrsOf(histories), (std::vector<uint32_t>{1, 3, 2}));
    histories.Add(4, 27910, At(DAY_START + 11, 50));
    EXPECT_EQ(AddrsOf(histories), (std::vector<uint32_t>{4, 1, 3})) << "2 was heard from least recently";
    EXPECT_EQ(histories.Find(2, 27910), nullptr);

    // Over the buckets' limit: the least recently heard go until the new bucket fits.
    for (int stretch = 1; stretch <= 5; ++stretch) {
        histories.Add(4, 27910, At(DAY_START + stretch * 300, 50));
    }
    EXPECT_EQ(histories.BucketCount(), 8u);
    EXPECT_EQ(AddrsOf(histories), (std::vector<uint32_t>{4, 1, 3}));
    histories.Add(4, 27910, At(DAY_START + 6 * 300, 50));
    EXPECT_EQ(AddrsOf(histories), (std::vector<uint32_t>{4, 1}));
    EXPECT_EQ(histories.BucketCount(), 8u);
    // One server alone over the limit loses its oldest buckets.
    for (int stretch = 7; stretch <= 9; ++stretch) {
        histories.Add(4, 27910, At(DAY_START + stretch * 300, 50));
    }
    EXPECT_EQ(AddrsOf(histories), (std::vector<uint32_t>{4}));
    EXPECT_EQ(histories.BucketCount(), 8u);
    EXPECT_EQ(histories.Find(4, 27910)->buckets.front().Start(), DAY_START + 2 * 300);

    // More servers answering every refresh than the limit holds a day of: each keeps its latest stretches, none
    // starts again from nothing.
    ServerHistories crowded(HistoryLimits{3, 9});
    for (int stretch = 0; stretch < 12; ++stretch) {
        for (uint32_t addr : {1u, 2u, 3u}) {
            crowded.Add(addr, 27910, At(DAY_START + stretch * 300 + addr, 50));
        }
    }
    for (uint32_t addr : {1u, 2u, 3u}) {
        ASSERT_NE(crowded.Find(addr, 27910), nullptr);
        EXPECT_EQ(crowded.Find(addr, 27910)->buckets.size(), 3u) << addr;
        EXPECT_EQ(crowded.Find(addr, 27910)->buckets.back().Start(), DAY_START + 11 * 300);
    }

    // Restored servers come after those kept, once each, within the limits.
    ServerHistory restored{5, 27910, DAY_START, {HistoryBucket{HistorySlotOf(DAY_START), 50, 50, 50, 1, 0, 8}}};
    EXPECT_FALSE(histories.Restore(restored)) << "no bucket left for it";
    ServerHistories fresh(HistoryLimits{2, 8});
    EXPECT_TRUE(fresh.Restore(restored));
    EXPECT_FALSE(fresh.Restore(restored)) << "kept already";
    restored.addr = 6;
    EXPECT_TRUE(fresh.Restore(restored));
    restored.addr = 7;
    EXPECT_FALSE(fresh.Restore(restored)) << "over the servers' limit";
    restored.buckets.clear();
    EXPECT_FALSE(ServerHistories().Restore(restored)) << "a server with no bucket";
    EXPECT_EQ(AddrsOf(fresh), (std::vector<uint32_t>{5, 6}));
    fresh.Add(7, 27910, At(DAY_START + 1, 50));
    EXPECT_EQ(AddrsOf(fresh), (std::vector<uint32_t>{7, 5})) << "the last restored was the least recent";
}

TEST(HistoryGraph, TimesAndValuesMapOntoThePlotAndThePointerFindsTheNearestBucket) {
    EXPECT_EQ(GraphTop(0, 10), 10);
    EXPECT_EQ(GraphTop(11, 10), 20);
    EXPECT_EQ(GraphTop(47, 4), 50);
    EXPECT_EQ(GraphTop(51, 4), 100);
    EXPECT_EQ(GraphTop(999, 4), 1000);
    EXPECT_EQ(GraphTop(65535, 4), 100000);

    GraphFrame frame{DAY_START + HISTORY_SPAN_SECONDS, 289, 101};
    EXPECT_EQ(GraphX(frame, DAY_START), 0);
    EXPECT_EQ(GraphX(frame, DAY_START - 500), 0);
    EXPECT_EQ(GraphX(frame, DAY_START + 12 * 3600), 144);
    EXPECT_EQ(GraphX(frame, frame.now + 500), 288);
    EXPECT_EQ(GraphY(frame, 0, 50), 100);
    EXPECT_EQ(GraphY(frame, 25, 50), 50);
    EXPECT_EQ(GraphY(frame, 50, 50), 0);
    EXPECT_EQ(GraphY(frame, 80, 50), 0);

    std::vector<HistoryBucket> buckets = {
        HistoryBucket{HistorySlotOf(DAY_START - 600), 50, 50, 50, 1, 0, 8}, // before the graph's day
        HistoryBucket{HistorySlotOf(DAY_START + 3600), 50, 50, 50, 1, 0, 8},
        HistoryBucket{HistorySlotOf(DAY_START + 7200), 50, 50, 50, 1, 0, 8},
    };
    int first = BucketX(frame, buckets[1]);
    EXPECT_EQ(first, GraphX(frame, DAY_START + 3600 + 150));
    EXPECT_EQ(BucketNearest(frame, buckets, first + 2, 3), 1);
    EXPECT_EQ(BucketNearest(frame, buckets, first + 4, 3), -1) << "too far from either";
    EXPECT_EQ(BucketNearest(frame, buckets, BucketX(frame, buckets[2]) - 1, 3), 2);
    EXPECT_EQ(BucketNearest(frame, buckets, 0, 3), -1) << "the bucket off the left edge is not shown";
    buckets.push_back(HistoryBucket{HistorySlotOf(frame.now + 600), 50, 50, 50, 1, 0, 8});
    EXPECT_EQ(BucketNearest(frame, buckets, 288, 3), -1) << "nor one after the right edge";

    // Every six hours of local time, an hour and a half ahead of UTC.
    std::vector<int64_t> ticks = HourTicks(frame, 90 * 60, 6);
    ASSERT_EQ(ticks.size(), 4u);
    EXPECT_EQ(ticks[0], DAY_START + 4 * 3600 + 30 * 60); // 06:00 local
    EXPECT_EQ(ticks[3], DAY_START + 22 * 3600 + 30 * 60);
    ticks = HourTicks(frame, 0, 6);
    EXPECT_EQ(ticks, (std::vector<int64_t>{DAY_START, DAY_START + 6 * 3600, DAY_START + 12 * 3600,
                                           DAY_START + 18 * 3600, DAY_START + 24 * 3600}));
    EXPECT_EQ(HourTicks(frame, -3600, 6).front(), DAY_START + 3600) << "an hour behind UTC";
}

TEST(HistoryTexts, TheSampleUnderThePointerReadsAsItsBucket) {
    HistoryBucket bucket{HistorySlotOf(DAY_START), 141, 42, 58, 3, 7, 16};
    EXPECT_EQ(HistorySampleText({2026, 12, 9, 21, 35, 0}, bucket),
              u"21:35  ping 42\u201358 ms (mean 47), 7/16 players");
    HistoryBucket one{HistorySlotOf(DAY_START), 42, 42, 42, 1, 0, 8};
    EXPECT_EQ(HistorySampleText({2026, 12, 9, 9, 5, 0}, one), u"09:05  ping 42 ms, 0/8 players");
    HistoryBucket unknown{HistorySlotOf(DAY_START), 42, 42, 42, 1, 1, 0};
    EXPECT_EQ(HistorySampleText({2026, 12, 9, 9, 5, 0}, unknown), u"09:05  ping 42 ms, 1 player");
    unknown.mostPlayers = 7;
    EXPECT_EQ(HistorySampleText({2026, 12, 9, 9, 5, 0}, unknown), u"09:05  ping 42 ms, 7 players");
    EXPECT_EQ(HourLabel({2026, 12, 9, 6, 0, 0}), u"06:00");
}

} // namespace
