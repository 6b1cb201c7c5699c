#include "core/run/in_flight.h"

#include <gtest/gtest.h>

namespace {

TEST(InFlight, FillsToItsLimitWakesTheSenderAtThreeQuartersAndExpiresTheOldest) {
    InFlightWindow window;
    ResetInFlight(window, 10, 4);
    for (int32_t i = 0; i < 4; ++i) {
        ASSERT_TRUE(HasRoomInFlight(window, 100, 250));
        NoteQueryInFlight(window, i, 100 + static_cast<uint32_t>(i));
    }
    EXPECT_FALSE(HasRoomInFlight(window, 104, 250));

    // Answers from the middle count at once; the sender is woken once, at three of four.
    EXPECT_TRUE(SettleInFlight(window, 2));
    EXPECT_FALSE(SettleInFlight(window, 2)) << "settled twice";
    EXPECT_FALSE(SettleInFlight(window, 1));
    EXPECT_FALSE(SettleInFlight(window, 42)) << "an index beyond the table";
    EXPECT_EQ(window.count, 2);
    ASSERT_TRUE(HasRoomInFlight(window, 105, 250));
    NoteQueryInFlight(window, 4, 105);
    NoteQueryInFlight(window, 5, 105);
    EXPECT_FALSE(HasRoomInFlight(window, 106, 250));

    // Silent servers free their place once their query is older than the expiry, across the clock's wrap too.
    EXPECT_TRUE(HasRoomInFlight(window, 100 + 251, 250));
    EXPECT_EQ(window.count, 3) << "only the query sent at 100 has expired";
    ResetInFlight(window, 3, 1);
    NoteQueryInFlight(window, 0, 0xFFFFFFF0u);
    EXPECT_FALSE(HasRoomInFlight(window, 0xFFFFFFF0u + 100, 250));
    EXPECT_TRUE(HasRoomInFlight(window, 0xFFFFFFF0u + 251, 250));
}

TEST(InFlight, TheLimitGrowsWithRepliesReadAtOnceAndIsCutByABacklogBetweenItsFloorAndCeiling) {
    InFlightWindow window;
    ResetInFlight(window, 100, 256);
    for (int i = 0; i < 10; ++i) {
        NoteFreshReply(window);
    }
    EXPECT_EQ(window.limit, 256 + 10 * IN_FLIGHT_GROWTH);
    for (int i = 0; i < IN_FLIGHT_CEILING; ++i) {
        NoteFreshReply(window);
    }
    EXPECT_EQ(window.limit, IN_FLIGHT_CEILING) << "never above the ceiling";

    // A backlog in the socket cuts the limit to three quarters, never below the floor; replies grow it back.
    NoteReplyBacklog(window);
    EXPECT_EQ(window.limit, IN_FLIGHT_CEILING * 3 / 4);
    NoteFreshReply(window);
    EXPECT_EQ(window.limit, IN_FLIGHT_CEILING * 3 / 4 + IN_FLIGHT_GROWTH);
    for (int i = 0; i < 20; ++i) {
        NoteReplyBacklog(window);
    }
    EXPECT_EQ(window.limit, 256);
    ResetInFlight(window, 100, 256);
    EXPECT_EQ(window.limit, 256) << "a new pass starts from the floor";

    // A floor above the ceiling (a caller's own) is the ceiling too.
    ResetInFlight(window, 100, IN_FLIGHT_CEILING + 10);
    NoteFreshReply(window);
    EXPECT_EQ(window.limit, IN_FLIGHT_CEILING + 10);
}

} // namespace
