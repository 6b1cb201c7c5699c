// The main window moved to a monitor of another DPI (WM_DPICHANGED): its font, controls, lists, images, status bar
// and minimum size are laid out again for the new DPI, the user's column widths kept in proportion.
// User interface thread only.
#pragma once

#include <windows.h>

#include <memory>

#include "platform/win32/win_holders.h"
#include "windows/views/player_list.h"
#include "windows/views/server_list.h"
#include "windows/views/status_bar.h"

// What a change of DPI lays out again, and what it keeps: the DPI the window is laid out for and the font it made.
struct RescaledWindow {
    HWND dialog;
    UINT& dpi;
    std::unique_ptr<GdiHandle>& font;
    ServerListView& servers;
    PlayerListView& players;
    StatusLine& status;
};

// `suggested` is the window rectangle the system proposes for the new DPI.
void RescaleMainWindow(RescaledWindow window, UINT newDpi, const RECT& suggested);
