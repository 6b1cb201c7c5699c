// The server list's context menu: join the server, copy its address, show its info, add it to or remove it from
// the favourites or the history, watch it, or wait for a slot on it. Win32 side; user interface thread only.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include "windows/dialogs/history_graphs.h"
#include "windows/launch/game_launcher.h"
#include "windows/state/shown_table.h"

// The menu's commands.
enum ServerMenuCommand : UINT {
    SERVER_MENU_CONNECT = 1,
    SERVER_MENU_COPY_ADDRESS,
    SERVER_MENU_SERVER_INFO,
    SERVER_MENU_ADD_FAVOURITE,
    SERVER_MENU_REMOVE_FAVOURITE,
    SERVER_MENU_REMOVE_RECENT,
    SERVER_MENU_WATCH,
    SERVER_MENU_JOIN_WHEN_FREE,
};

// What a command changed or asks, for the main window to pass on: the favourites (to be saved and marked), the
// history (saved already, to be marked); the server to be watched or no longer (`watch`), a join to wait for a slot
// on it or to stop waiting (`slotWait`).
struct ServerMenuChange {
    bool favourites = false;
    bool history = false;
    bool watch = false;
    bool slotWait = false;
};

// NM_RCLICK on the server list, at the clicked point of its row, which shows `record` of `shown`: the menu, then its
// command carried out (a join with `join`, which lists the favourites and the history too; the server info with the
// server's last day, `history`). Of the two favourites commands, the one that does not apply to the server is greyed.
// "Watch This Server" is checked on a watched server; "Join When a Slot Frees" is offered on a full server, and
// checked on the one a join waits for (`waitingHere`).
ServerMenuChange ShowServerMenu(HWND list, POINT clicked, const ServerRecord& record, const ShownTable& shown,
                                JoinHost join, InfoHistory history, bool waitingHere);
