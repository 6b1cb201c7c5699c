// The server list view (control 1017): its columns, images and cells, the marks on its rows, sorting by a column,
// typing a host name, and the tips that say why a row matched a search. Win32 side; user interface thread only. The
// view's rows, and what it keeps, are windows/views/server_list_rows.h.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include "windows/views/server_list_rows.h"

// Sets up the list's columns (sorted by ping until the settings say otherwise) and images at `dpi`; false when the
// list view refuses a column.
bool InitServerList(ServerListView& view, HWND dialog, HINSTANCE instance, UINT dpi);

// The list's eleven images (the last three the overlays of the rows' marks) at `dpi`, attached in place of those
// they replace, which go. Both lists share their image lists (LVS_SHAREIMAGELISTS).
void CreateServerImages(ServerListView& view, UINT dpi);

// Column widths for the main dialog's new client width.
void ResizeServerColumns(ServerListView& view, int clientWidth);

// LVN_GETDISPINFOW: the cell's text, the row's icon and marks, and the ping column's dot.
void GetServerDispInfo(const ServerListView& view, const ServerListInputs& inputs, NMLVDISPINFOW* request);
// LVN_COLUMNCLICK: the rows sorted by the column, the selection kept on its server.
void OnServerColumnClick(ServerListView& view, const ShownTable& shown, int column);
// LVN_ODFINDITEMW: the next row whose host name begins with the typed text, ignoring case; -1 for none.
int FindRowByHostName(const ServerListView& view, const ShownTable& shown, const NMLVFINDITEMW& find);
// LVN_GETINFOTIPW: while a search is active, why the row's server matched.
void GetSearchInfoTip(const ServerListView& view, const ServerListInputs& inputs, NMLVGETINFOTIPW* tip);
// The rows' tips say why they matched only while there is a search: a change of style repaints the whole list.
void ShowSearchTips(ServerListView& view, bool search);

// Room for a server's join address, "a.b.c.d:port", with its terminator.
constexpr size_t JOIN_ADDRESS_SIZE = 128;
