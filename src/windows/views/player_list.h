// The player list view (control 1018): the players of the server selected in the server list, their cell text,
// sorting, the details/small-icon switch and the player a search matched. Win32 side; user interface thread only.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <string>

#include "core/display/server_search.h"
#include "core/protocol/server_record.h"

struct PlayerListView {
    HWND list = nullptr;
    HINSTANCE instance = nullptr;
    bool details = false;    // the details view, not small icons
    bool canSetView = false; // Windows XP or later: the list view's mode can be switched
};

// Sets up the list's columns and its image at `dpi`; false when the list view refuses a column.
bool InitPlayerList(PlayerListView& view, HWND dialog, HINSTANCE instance, UINT dpi, bool canSetView);

// The list's one image at `dpi`, attached in place of the one it replaces, which goes.
void CreatePlayerImages(PlayerListView& view, UINT dpi);

// Column widths for the main dialog's new client width: the details view's columns, or the one it shows otherwise.
void ResizePlayerColumns(PlayerListView& view, int clientWidth);

// Rebuilds the rows, in reply order, with the players of `record` (none for null). Rows refer to PlayerRecords
// inside the current table. While `search` is active, the first player whose name matched it is selected and kept in
// view.
void FillPlayerList(PlayerListView& view, ServerRecord* record, const ServerSearch& search);

// Selects the first of the record's players (the list shows them) whose name is exactly `name`, in view; false when
// none is.
bool SelectPlayerNamed(PlayerListView& view, const ServerRecord& record, const std::u16string& name);

// Deletes the rows: a new table.
void EmptyPlayerList(PlayerListView& view);

// Switches between the details and small-icon views and flips `details`; nothing before Windows XP.
void SwitchPlayerView(PlayerListView& view);
// The view the settings name, at start-up.
void ShowPlayerView(PlayerListView& view, bool details);

// The selected player stays marked while the server list has the focus, only while there is a search.
void ShowMatchedPlayerAlways(PlayerListView& view, bool search);

// WM_NOTIFY from the player list, custom draw aside; returns the dialog procedure's result.
INT_PTR OnPlayerListNotify(PlayerListView& view, NMHDR* header);
