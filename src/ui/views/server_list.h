// The server list view (control 1017) and the columns of the player list (1018): creation, image lists, cell
// text, sorting, the Full/Empty filters and column widths. Win32 side; user interface thread only.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include "net/server_record.h"

// Sets up both list views' columns, the status bar and the image lists; returns the server list, or null when the
// list view refuses a column.
HWND InitListViews();

// Creates the server list's eight images and the player list's one and attaches them. Returns 1.
int CreateImageLists(HWND serverList);

// LVN_GETDISPINFOW from the server list: the cell's text, and the ping column's dot.
void GetServerDispInfo(NMLVDISPINFOW* request);

// LVM_SORTITEMS callback: item data are table indices, the sort value a sortColumn value.
int CALLBACK CompareServers(LPARAM first, LPARAM second, LPARAM sortValue);

// Re-applies the Full/Empty check boxes to the list; does nothing when the same number of servers passes.
void RefilterServerList();

// Column widths of both lists for the main dialog's new client width. Returns 0.
int ResizeColumns(int clientWidth);

// WM_NOTIFY from the server list, custom draw aside; returns the dialog procedure's result.
INT_PTR OnServerListNotify(NMHDR* header);

// WM_APP_STORE_REPLY: stores a parsed reply into its table record and lists the server when it passes the
// filters: inserted in its sorted place, the row counted, painting left to the batched repaint.
void StoreServerReply(ServerRecord* record, const ServerRecord& reply);

// Lets the list redraw again if listing replies held its redrawing off (which repaints it); the end of a run
// calls it, so no lost repaint can leave the list frozen.
void LetListRedraw();

// The query engine's batched repaint (WM_APP_REPAINT_LIST): lets the list redraw and repaints all of it.
void ShowListedRows();

// Deletes the rows of both lists and zeroes their counters.
void EmptyServerLists();
