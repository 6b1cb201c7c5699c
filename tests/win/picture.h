// Pictures of windows as they are painted, for pixel checks and for screenshots people look at.
#pragma once

#include <windows.h>

#include <vector>

struct ScreenPicture {
    RECT area;                 // the pictured rectangle in screen coordinates
    std::vector<DWORD> pixels; // top-down rows of 0x00RRGGBB

    // The colour at a point in screen coordinates inside area.
    COLORREF At(int x, int y) const;
    // Pixels of the colour inside a rectangle in screen coordinates.
    int Count(const RECT& rect, COLORREF colour) const;
};

// What the screen shows of the window, as a user sees it (in Wine's virtual desktop).
ScreenPicture CaptureWindow(HWND window);
// The same once the window's painting has settled: from another thread than the window's, a window just shown may
// still be painting its controls. Two captures 50 ms apart alike, or the last after 2 s.
ScreenPicture SettledCapture(HWND window);
// The window's client area painted by the window itself into memory (WM_PRINTCLIENT), whatever covers it on
// screen. Child windows, such as a list's header, are not painted.
ScreenPicture PrintedClient(HWND window);

// A 32-bit BMP file of the picture.
bool WriteBitmap(const ScreenPicture& picture, const wchar_t* path);
