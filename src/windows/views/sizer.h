// Resizable dialogs: a subclass that moves and stretches anchored controls as the dialog's client area changes, keeps
// the dialog from shrinking below its size at install and draws a size grip in the bottom right corner.
#pragma once

#include <windows.h>

#include <cstdint>

#include "core/display/anchor_layout.h"

struct SizerSize {
    int32_t width;
    int32_t height;
};

// One per installed window, on the process heap under the property "SizerProperty" and in the window's user data;
// freed at WM_DESTROY.
struct SizerInfo {
    int32_t rowCount;              // rows of `rows`, the closing row included
    SizerAnchor* rows;             // own copy of the anchor table
    SizerSize minTrackSize;        // the whole window's size at install, at the DPI the window is laid out for
    SizerSize installMinTrackSize; // ... at install, and the DPI it was at (0: its DPI never changed)
    uint32_t installDpi;
    SizerSize maxTrackSize; // used only when hasMaxTrack is set
    int32_t hasMaxTrack;    // never set by the sizer itself
    SizerSize clientSize;   // client size the controls are laid out for
    int32_t maximised;      // the last WM_SIZE was SIZE_MAXIMIZED: no grip is drawn
    int32_t gripEnabled;    // draw the grip and answer HTBOTTOMRIGHT over it
    RECT gripRect;          // client coordinates
    WNDPROC oldProc;        // the procedure the subclass replaced, also attached as "SizerWindowProc"
};

// Subclasses the window and copies the anchor table (closed by a row with flags -1). Returns 1, or 0 when the window
// does not exist or memory runs out; on failure the window is left as it was.
int SizerInstall(HWND window, const SizerAnchor* anchors);

// The window's controls were rescaled from one DPI to another where they stood: the minimum size scales with them,
// and the client size they are laid out for becomes `laidOutFor`, so the next WM_SIZE moves them from there.
void SizerRescale(HWND window, uint32_t fromDpi, uint32_t toDpi, SizerSize laidOutFor);

// Moves the anchored controls by the change of the client size since the last layout (or the install) and invalidates
// the old and new grip squares.
void SizerLayout(int clientWidth, int clientHeight, HWND window);

LRESULT CALLBACK SizerWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
