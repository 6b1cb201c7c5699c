// The DPI that a window or a point of the screen is drawn at. The calls that tell it per monitor came with Windows 8.1
// and 10; on older systems, and where they fail, the system's DPI is the answer.
#pragma once

#include <windows.h>

// The DPI of the monitor the window is on (as the window sees it).
UINT WindowDpi(HWND window);

// The system's DPI, which the system metrics are given at.
UINT SystemDpi();

// The dialog manager leaves the window's DPI changes to the window itself: it rescales its font and controls on
// WM_DPICHANGED alone. Does nothing where the system has no such call.
void OwnDialogDpiChanges(HWND dialog);
