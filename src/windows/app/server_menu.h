// The server list's context menu: join the server, copy its address, show its info, or add it to or remove it from
// the favourites. Win32 side; user interface thread only.
#pragma once

#include <windows.h>
#include <commctrl.h>

struct AppState;

// The menu's commands.
constexpr UINT SERVER_MENU_CONNECT = 1;
constexpr UINT SERVER_MENU_COPY_ADDRESS = 2;
constexpr UINT SERVER_MENU_SERVER_INFO = 3;
constexpr UINT SERVER_MENU_ADD_FAVOURITE = 4;
constexpr UINT SERVER_MENU_REMOVE_FAVOURITE = 5;
constexpr UINT SERVER_MENU_REMOVE_RECENT = 6;

// NM_RCLICK on the server list: the menu at the clicked point; nothing beside the rows (item -1). Of the two
// favourites commands, the one that does not apply to the server is greyed. Returns true when the favourites
// changed (the rows are marked again already), for the caller to save them.
bool ShowServerMenu(AppState& app, const NMITEMACTIVATE& activation);
