#include "core/watch/watch_schedule.h"

#include <gtest/gtest.h>

namespace {

using Servers = std::vector<std::pair<uint32_t, uint16_t>>;
const std::pair<uint32_t, uint16_t> A{0x0100007F, 27910}, B{0x0100007F, 27911};

TEST(WatchSchedule, AsksEachServerAtMostEveryIntervalCountingOtherQueriesAndKeepsWhatItKnewThroughAChangeOfList) {
    WatchSchedule schedule;
    std::vector<WatchChange> changes;
    EXPECT_EQ(schedule.MsUntilDue(0), UINT64_MAX);
    schedule.Watch({A, B, A});
    EXPECT_EQ(schedule.TakeDue(1000, changes), (Servers{A, B})) << "a new server is due at once, each once";
    EXPECT_EQ(schedule.TakeDue(1000 + WATCH_QUERY_INTERVAL_MS - 1, changes), Servers{});
    EXPECT_EQ(schedule.MsUntilDue(1000 + WATCH_QUERY_INTERVAL_MS - 1), 1u);
    // A run asked B later: only A is due at the interval, B an interval after the run's query.
    schedule.NoteQueried(B.first, B.second, 5000);
    schedule.NoteQueried(0x0200007F, 1, 5000); // not watched: nothing
    EXPECT_EQ(schedule.TakeDue(1000 + WATCH_QUERY_INTERVAL_MS, changes), Servers{A});
    EXPECT_EQ(schedule.MsUntilDue(1000 + WATCH_QUERY_INTERVAL_MS), 4000u);
    schedule.Watch({B});
    EXPECT_FALSE(schedule.Watching(A.first, A.second));
    EXPECT_EQ(schedule.TakeDue(4999 + WATCH_QUERY_INTERVAL_MS, changes), Servers{}) << "B kept its last query";
    EXPECT_EQ(schedule.TakeDue(5000 + WATCH_QUERY_INTERVAL_MS, changes), Servers{B});
    schedule.Watch({A, B});
    EXPECT_EQ(schedule.MsUntilDue(6000), 0u) << "A watched afresh is new again";
    EXPECT_TRUE(changes.empty()) << "B's answers are still awaited: no miss is counted before its next query";
}

TEST(WatchSchedule, ASlotFreesOnlyOnceAFullServerHasRoomAndStoppingIsSaidOnceAfterThreeMissesInARow) {
    WatchSchedule schedule;
    std::vector<WatchChange> changes;
    WatchChange change;
    schedule.Watch({A});
    uint64_t now = 0;
    schedule.TakeDue(now, changes);
    EXPECT_FALSE(schedule.NoteAnswer(A.first, A.second, 3, 8, change)) << "room from the first answer: no change";
    EXPECT_FALSE(schedule.NoteAnswer(A.first, A.second, 8, 8, change));
    EXPECT_FALSE(schedule.NoteAnswer(A.first, A.second, 9, 8, change)) << "more than full is full";
    EXPECT_TRUE(schedule.NoteAnswer(A.first, A.second, 7, 8, change));
    EXPECT_TRUE(change.slotFreed);
    EXPECT_FALSE(schedule.NoteAnswer(A.first, A.second, 6, 8, change)) << "still room: no second alert";
    EXPECT_FALSE(schedule.NoteAnswer(A.first, A.second, 0, 0, change)) << "no maxclients is never full";
    EXPECT_FALSE(schedule.NoteAnswer(B.first, B.second, 7, 8, change)) << "not watched";

    // Three queries go unanswered: said at the next one, once; an answer then says it answers again.
    for (int query = 1; query <= 5; ++query) {
        now += WATCH_QUERY_INTERVAL_MS;
        EXPECT_EQ(schedule.TakeDue(now, changes), Servers{A});
        EXPECT_EQ(changes.size(), query >= 4 ? 1u : 0u) << query;
    }
    EXPECT_TRUE(changes[0].stopped);
    EXPECT_EQ(changes[0].port, A.second);
    EXPECT_TRUE(schedule.NoteAnswer(A.first, A.second, 6, 8, change));
    EXPECT_TRUE(change.answersAgain);
    EXPECT_FALSE(change.slotFreed);
    EXPECT_FALSE(schedule.NoteAnswer(A.first, A.second, 6, 8, change));
}

} // namespace
