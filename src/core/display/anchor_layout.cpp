#include "core/display/anchor_layout.h"

int32_t CountAnchorRows(const SizerAnchor* anchors) {
    int32_t count = 1;
    while (anchors[count - 1].flags != SIZER_END_FLAGS) {
        ++count;
    }
    return count;
}

AnchorRect ApplyAnchor(AnchorRect rect, int32_t flags, int32_t dx, int32_t dy) {
    if (flags & SIZER_MOVE_X) {
        rect.left += dx;
        rect.right += dx;
    }
    if (flags & SIZER_MOVE_Y) {
        rect.top += dy;
        rect.bottom += dy;
    }
    if (flags & SIZER_GROW_X) {
        rect.right += dx;
    }
    if (flags & SIZER_GROW_Y) {
        rect.bottom += dy;
    }
    return rect;
}

AnchorRect GripRect(int32_t width, int32_t height, int32_t gripWidth, int32_t gripHeight) {
    return AnchorRect{width - gripWidth, height - gripHeight, width, height};
}
