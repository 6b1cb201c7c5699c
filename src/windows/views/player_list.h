// The player list view (control 1018): the players of the server selected in the server list, their cell text,
// sorting and the details/small-icon switch. Win32 side; user interface thread only.
#pragma once

#include <windows.h>
#include <commctrl.h>

struct AppState;

// Rebuilds the rows, in reply order, for the server list's first selected row; empty when none is selected or the
// row's table index is no longer in the table. Rows refer to PlayerRecords inside the current table. While a search
// is active, the first player whose name matched it is selected, and the status line says why the server matched.
void FillPlayerList(AppState& app);

// LVM_SORTITEMS callback: item data are PlayerRecord references, the sort value a column index.
int CALLBACK ComparePlayers(LPARAM first, LPARAM second, LPARAM column);

// Switches between the details and small-icon views and flips playerViewDetails; nothing before Windows XP.
void SwitchPlayerView(AppState& app);

// WM_NOTIFY from the player list, custom draw aside; returns the dialog procedure's result.
INT_PTR OnPlayerListNotify(AppState& app, NMHDR* header);
