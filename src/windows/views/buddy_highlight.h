// The buddy list turned into entries, and the yellow rows of servers with buddies and of the buddies themselves.
// Win32 side; user interface thread only (the entries are written and read there alone).
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <functional>
#include <string>
#include <vector>

#include "core/display/buddy_match.h"
#include "core/protocol/server_record.h"

// The text background of highlighted rows: yellow.
constexpr COLORREF BUDDY_HIGHLIGHT = 0x0000FFFF;

struct BuddyList {
    std::vector<BuddyName> names;
};

// Rebuilds the entries from the buddy list as typed, one name or pattern per line.
void ParseBuddyList(BuddyList& buddies, const std::u16string& text);

// Whether the name matches a buddy entry.
bool IsBuddy(const BuddyList& buddies, const char16_t* name);

// Whether one of the server's players is a buddy.
bool ServerHasBuddy(const BuddyList& buddies, const ServerRecord& record);

// Repaints the list's rows now, so the rows of changed buddies show it before this returns.
void RepaintBuddyRows(HWND list);

// NM_CUSTOMDRAW from either list: the custom-draw result, with the row's text background set to BUDDY_HIGHLIGHT
// where `highlighted(row)` says so.
LRESULT OnListCustomDraw(NMLVCUSTOMDRAW* draw, const std::function<bool(int row)>& highlighted);
