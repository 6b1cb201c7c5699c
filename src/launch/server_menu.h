// The server list's context menu: join the server, copy its address, or show its info. Win32 side; user interface
// thread only.
#pragma once

#include <windows.h>
#include <commctrl.h>

// The menu's commands.
constexpr UINT SERVER_MENU_CONNECT = 1;
constexpr UINT SERVER_MENU_COPY_ADDRESS = 2;
constexpr UINT SERVER_MENU_SERVER_INFO = 3;

// NM_RCLICK on the server list: the menu at the clicked point; nothing beside the rows (item -1).
void ShowServerMenu(const NMITEMACTIVATE& activation);
