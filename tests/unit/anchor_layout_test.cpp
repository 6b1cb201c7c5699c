#include "core/display/anchor_layout.h"

#include <gtest/gtest.h>

namespace {

void ExpectRect(const AnchorRect& actual, const AnchorRect& expected) {
    EXPECT_EQ(actual.left, expected.left);
    EXPECT_EQ(actual.top, expected.top);
    EXPECT_EQ(actual.right, expected.right);
    EXPECT_EQ(actual.bottom, expected.bottom);
}

TEST(ApplyAnchor, MovesEachEdgeByTheSumOfItsFlags) {
    // dx and dy differ in size and sign, so an edge moved along the wrong axis shows.
    const AnchorRect start{10, 20, 110, 70};
    const struct {
        int32_t flags;
        AnchorRect expected;
    } cases[] = {
        {0, {10, 20, 110, 70}},
        {SIZER_MOVE_X, {15, 20, 115, 70}},
        {SIZER_MOVE_Y, {10, 17, 110, 67}},
        {SIZER_GROW_X, {10, 20, 115, 70}},
        {SIZER_GROW_Y, {10, 20, 110, 67}},
        {SIZER_MOVE_X | SIZER_GROW_X, {15, 20, 120, 70}},
        {SIZER_MOVE_X | SIZER_MOVE_Y | SIZER_GROW_X, {15, 17, 120, 67}},
        {SIZER_MOVE_X | SIZER_MOVE_Y | SIZER_GROW_X | SIZER_GROW_Y, {15, 17, 120, 64}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.flags);
        ExpectRect(ApplyAnchor(start, c.flags, 5, -3), c.expected);
    }
}

TEST(CountAnchorRows, EndsAtTheFirstRowWithFlagsMinusOne) {
    const SizerAnchor table[] = {{5, SIZER_MOVE_X}, {-1, SIZER_GROW_Y}, {7, -1}, {9, SIZER_MOVE_Y}};
    EXPECT_EQ(CountAnchorRows(table), 3);
    const SizerAnchor empty[] = {{-1, -1}};
    EXPECT_EQ(CountAnchorRows(empty), 1);
}

TEST(GripRect, FillsTheBottomRightCorner) {
    ExpectRect(GripRect(300, 200, 17, 15), {283, 185, 300, 200});
}

} // namespace
