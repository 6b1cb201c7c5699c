// The main window moved to a monitor of another DPI (WM_DPICHANGED): its font, controls, lists, images, status bar
// and minimum size are laid out again for the new DPI, the user's column widths kept in proportion.
// User interface thread only.
#pragma once

#include <windows.h>

struct AppState;

// `suggested` is the window rectangle the system proposes for the new DPI.
void RescaleMainWindow(AppState& app, UINT newDpi, const RECT& suggested);
