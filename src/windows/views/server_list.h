// The server list view (control 1017) and the columns of the player list (1018): creation, image lists, cell
// text, sorting, the Full/Empty filters and column widths. Win32 side; user interface thread only.
//
// The server list holds no rows of its own (an owner-data list view): AppState.serverRows says which server each row
// shows, the list asks for each cell as it paints, and only the selection and focus are the list's.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <cstdint>
#include <vector>

#include "core/protocol/server_record.h"

struct AppState;

// Sets up both list views' columns, the status bar and the image lists; returns the server list, or null when the
// list view refuses a column.
HWND InitListViews(AppState& app);

// Creates the server list's eleven images (the last three the overlays of windows/views/row_marks.h) and the player
// list's one at the window's DPI, and attaches them, letting go of those they replace. Returns 1.
int CreateImageLists(AppState& app, HWND serverList, UINT dpi);

// LVN_GETDISPINFOW from the server list: the cell's text, the row's icon and marks, and the ping column's dot.
void GetServerDispInfo(AppState& app, NMLVDISPINFOW* request);

// What CompareServers is handed with two table indices: the state whose table they index, and a sortColumn value.
struct ServerOrder {
    const AppState* app;
    int32_t sortValue;
};

// The rows' order, in the shape of an LVM_SORTITEMS callback: the data are table indices, the sort value the
// address of a ServerOrder.
int CALLBACK CompareServers(LPARAM first, LPARAM second, LPARAM order);

// Re-applies the Full/Empty check boxes and the search to the list; does nothing when the same number of servers
// passes, unless the search has changed. A changed search keeps the selected server when it still shows; the boxes
// leave nothing selected.
void RefilterServerList(AppState& app, bool searchChanged = false);

// Column widths of both lists for the main dialog's new client width. Returns 0.
int ResizeColumns(AppState& app, int clientWidth);

// WM_NOTIFY from the server list, custom draw and the clicks that join a server aside; returns the dialog
// procedure's result.
INT_PTR OnServerListViewNotify(AppState& app, NMHDR* header);

// Marks handed-over records delivered and lists each that passes the Full/Empty filters and the search in its sorted
// place, counting its row; the list's redrawing is held off until the next repaint.
void ListDeliveredReplies(AppState& app, const std::vector<int32_t>& indices);

// Lists the delivered record `index` in its sorted place and counts its row; the list's redrawing is held off until
// the next repaint.
void ListServerRow(AppState& app, int32_t index);

// Whether the record passes the mod filter and the Full/Empty boxes as the list last applied them.
bool IsListed(AppState& app, const ServerRecord& record);

// Lets the list redraw if listing held it off, and repaints what was listed since the last repaint.
void RepaintServerList(AppState& app);
// The same at the list's repaint rate: now when the last repaint is long enough ago, else by a timer.
void RepaintServerListWhenDue(AppState& app);

// Deletes the rows of both lists and zeroes their counters.
void EmptyServerLists(AppState& app);

// Room for a server's join address, "a.b.c.d:port", with its terminator.
constexpr size_t JOIN_ADDRESS_SIZE = 128;

// The record a row of the server list shows; null when the list has no such row. Only the user interface thread
// reads it, and only until something lets messages through, which could swap the server table.
const ServerRecord* RowServerRecord(AppState& app, int row);

// The join address of the server in a row of the server list; false when the list has no such row. Read before
// anything that lets messages through, which could swap the server table or re-sort the rows.
bool ReadRowServerAddress(AppState& app, int row, wchar_t* address, size_t size);
