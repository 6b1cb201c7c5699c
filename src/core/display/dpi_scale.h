// Sizes at a monitor's DPI. The program draws at the DPI of the monitor its window is on: sizes written for 96 DPI
// (100 %) are scaled to it, and the sizes it stores are kept at 96 DPI, so that they mean the same on any monitor.
// Portable (no Win32): the front end reads the DPI and passes it in.
#pragma once

#include <cstdint>

#include "core/display/anchor_layout.h"

constexpr uint32_t BASE_DPI = 96;

// `value` at `fromDpi` as it is at `toDpi`, to the nearest pixel (halves away from zero). A DPI of 0, or one beyond
// any display's (over 3840, 4000 %), counts as 96.
int32_t ScaleBetweenDpi(int32_t value, uint32_t fromDpi, uint32_t toDpi);

// A size written for 96 DPI, at `dpi`.
inline int32_t ScaleToDpi(int32_t value96, uint32_t dpi) {
    return ScaleBetweenDpi(value96, BASE_DPI, dpi);
}

struct PixelSize {
    int32_t width;
    int32_t height;
};

// The cell of the lists' images at `dpi`: 16 by 14 pixels at 96 DPI. The icons hold an image of this very size for
// 96, 120, 144 and 192 DPI.
PixelSize ListImageSize(uint32_t dpi);

// The status line's information icon: 14 by 14 at 96 DPI.
PixelSize StatusIconSize(uint32_t dpi);

// Each corner of a rectangle within a client area, scaled from one DPI to another: controls that touched or lined up
// still do.
AnchorRect ScaleRectBetweenDpi(AnchorRect rect, uint32_t fromDpi, uint32_t toDpi);

// The main window's normal rectangle as the settings keep it: its top left corner where it is on the screen (screen
// pixels), its width and height at 96 DPI. At 96 DPI the two are the same.
AnchorRect StoredWindowRect(AnchorRect shown, uint32_t dpi);

// A stored rectangle as shown on a monitor of `dpi`.
AnchorRect ShownWindowRect(AnchorRect stored, uint32_t dpi);
