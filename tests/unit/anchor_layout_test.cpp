#include "core/display/anchor_layout.h"
#include "core/display/dpi_scale.h"

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

TEST(DpiScale, RoundsHalvesAwayFromZeroAndTakesAnUnusableDpiAs96) {
    struct {
        int32_t value;
        uint32_t from, to;
        int32_t expected;
    } cases[] = {
        {16, 96, 96, 16},
        {16, 96, 120, 20},
        {14, 96, 120, 18},
        {14, 96, 144, 21},
        {14, 96, 192, 28},
        {-11, 96, 144, -17},
        {-13, 120, 72, -8},
        {7, 96, 0, 7},
        {7, 0, 192, 14},
        {7, 96, 100000, 7},
        {INT32_MAX, 96, 192, INT32_MAX},
        {INT32_MIN, 96, 192, INT32_MIN},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.value) + " from " + std::to_string(c.from) + " to " + std::to_string(c.to));
        EXPECT_EQ(ScaleBetweenDpi(c.value, c.from, c.to), c.expected);
    }
    EXPECT_EQ(ListImageSize(144).width, 24);
    EXPECT_EQ(StatusIconSize(120).height, 18);
}

// The stored size is the size at 96 DPI: the same bytes at 96 DPI, and a size that comes back on the same monitor.
TEST(DpiScale, AStoredWindowKeepsItsCornerAndItsSizeMeansTheSameAtEveryDpi) {
    AnchorRect shown{-1200, 40, -200, 680}; // on a monitor left of the primary one
    ExpectRect(StoredWindowRect(shown, 96), shown);
    ExpectRect(StoredWindowRect(shown, 144), {-1200, 40, -1200 + 667, 40 + 427});
    for (uint32_t dpi : {120u, 144u, 192u}) {
        SCOPED_TRACE(dpi);
        AnchorRect again = ShownWindowRect(StoredWindowRect(shown, dpi), dpi);
        EXPECT_EQ(again.left, shown.left);
        EXPECT_NEAR(again.right - again.left, shown.right - shown.left, 1);
        ExpectRect(StoredWindowRect(again, dpi), StoredWindowRect(shown, dpi)); // no drift on the next save
    }
    ExpectRect(ScaleRectBetweenDpi({9, 11, 448, 136}, 96, 192), {18, 22, 896, 272});
}

} // namespace
