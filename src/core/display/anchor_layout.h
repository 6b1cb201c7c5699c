// How an anchored control follows a change of its dialog's client size, and where the size grip sits. Portable (no
// Win32): the sizer calls these with the rectangles and metrics it reads from the windows.
#pragma once

#include <cstdint>

// Anchor flags; they add up, so SIZER_MOVE_X | SIZER_GROW_X moves the left edge by dx and the right edge by 2 dx.
constexpr int32_t SIZER_MOVE_X = 1; // left and right edges move by dx
constexpr int32_t SIZER_MOVE_Y = 2; // top and bottom edges move by dy
constexpr int32_t SIZER_GROW_X = 4; // the right edge moves by dx
constexpr int32_t SIZER_GROW_Y = 8; // the bottom edge moves by dy

// One row of an anchor table. A table ends with the row {-1, -1}; only its flags (-1) mark the end.
struct SizerAnchor {
    int32_t id;    // the control's dialog item id
    int32_t flags; // SIZER_* flags, or -1 in the closing row
};

constexpr int32_t SIZER_END_FLAGS = -1;

struct AnchorRect {
    int32_t left;
    int32_t top;
    int32_t right;
    int32_t bottom;
};

// Rows of the table, the closing row included.
int32_t CountAnchorRows(const SizerAnchor* anchors);

// The rectangle moved by the client size change dx, dy as the flags say.
AnchorRect ApplyAnchor(AnchorRect rect, int32_t flags, int32_t dx, int32_t dy);

// The size grip's square in the bottom right corner of a client area of width x height.
AnchorRect GripRect(int32_t width, int32_t height, int32_t gripWidth, int32_t gripHeight);
