// The buddy list turned into entries, and the yellow rows of servers with buddies and of the buddies themselves.
// Win32 side; user interface thread only (the entries are written and read there alone).
#pragma once

#include <windows.h>
#include <commctrl.h>

#include "core/protocol/server_record.h"

struct AppState;

// The text background of highlighted rows: yellow.
constexpr COLORREF BUDDY_HIGHLIGHT = 0x0000FFFF;

// Rebuilds buddies and buddyCount from buddyText.
void ParseBuddyList(AppState& app);

// 1 when the name matches a buddy entry, else 0.
int IsBuddy(AppState& app, const wchar_t* name);

// Repaints both lists now, so the rows of changed buddies show it before this returns.
void RepaintBuddyRows(AppState& app);

// 1 when one of the server's players is a buddy, else 0.
int ServerHasBuddy(AppState& app, const ServerRecord& record);

// NM_CUSTOMDRAW from either list: the custom-draw result, with the row's text background set to BUDDY_HIGHLIGHT
// when its server has a buddy (server list) or its player is one (player list).
LRESULT OnListCustomDraw(AppState& app, HWND list, NMLVCUSTOMDRAW* draw);
