// The server list view's rows (control 1017): which servers it lists under the Full/Empty filters and what finding a
// game leaves in, in their sorted place, with the selection kept on its server; and when the list is repainted.
// Win32 side; user interface thread only. Its columns and cells are windows/views/server_list.h.
//
// The list holds no rows of its own (an owner-data list view): `rows` says which server each row shows, the list asks
// for each cell as it paints, and only the selection and focus are the list's. What a change of the rows means for
// the player list and the status bar, the main window passes on.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <cstdint>
#include <string>
#include <vector>

#include "core/display/server_rows.h"
#include "core/settings/configuration.h"
#include "windows/state/finding.h"
#include "windows/state/server_lists.h"
#include "windows/state/shown_table.h"
#include "windows/support/throttle.h"

// Listing replies holds the list's redrawing off (a row inserted into a visible list otherwise redraws its scroll
// bar at once, which under Wine costs more than everything else a reply does); the list is let redraw and
// repainted at most every LIST_REPAINT_MS, never in a run's first LIST_REPAINT_MS, and at once at the run's end.
constexpr DWORD LIST_REPAINT_MS = 250;
constexpr UINT_PTR LIST_REPAINT_TIMER_ID = 0x534C;

// The view and what it keeps; its repaint timer finds it through a property of the list.
struct ServerListView {
    HWND list = nullptr;
    HINSTANCE instance = nullptr;
    ServerRows rows;            // what the rows show, in their order
    int32_t shownServers = 0;   // rows in the list
    int32_t shownPlayers = 0;   // players of the listed servers
    int32_t listedServers = 0;  // servers the mod filter and the Full/Empty boxes list, of which shownServers are shown
    bool dirty = false;         // a server was listed since the list was last repainted
    bool redrawHeld = false;    // redrawing is off while rows are listed
    bool followingRows = false; // the selection is moving after its server, which the player list already shows
    Throttle repaint{LIST_REPAINT_TIMER_ID, LIST_REPAINT_MS};
    bool showFull = false; // the Full and Empty boxes, as the list was last filtered
    bool showEmpty = false;
    int32_t sortColumn = 0; // sort column, SORT_REVERSED bit = reversed
};

// What the rows and cells are made from: the shown table, what finding a game leaves in, the user's lists (the
// rows' marks) and the ping thresholds.
struct ServerListInputs {
    const ShownTable& shown;
    Finding& finding;
    const ServerLists& lists;
    const Configuration& config;
};

// The table index a row shows, or -1 when the list has no such row; the selected row's.
int32_t RowServerIndex(const ServerListView& view, const ShownTable& shown, int64_t row);
int32_t SelectedServerIndex(const ServerListView& view, const ShownTable& shown);

// Whether the record passes the mod filter and the Full/Empty boxes as the list last applied them. A server that
// only a source of every mod named (a classic master, a list URL, the favourites, the remembered list) is listed
// under the mod filter of its run only when it runs that mod.
bool IsListed(const ServerListView& view, const ShownTable& shown, const ServerRecord& record);

// Re-applies the boxes and what finding a game leaves in to the rows. Does nothing and returns false when the same
// number of servers passes, unless the search has changed; else the rows are made again (a changed search keeps the
// selected server when it still shows, the boxes leave nothing selected) and it returns true: the player list and
// the counts follow. The counts change without the rows when only the listed ones' number did: `countsChanged`.
bool RefilterServerList(ServerListView& view, const ServerListInputs& inputs, bool showFull, bool showEmpty,
                        bool searchChanged, bool* countsChanged);

// Marks handed-over records delivered and lists each that passes the boxes and finding in its sorted place; the
// list's redrawing is held off until the next repaint.
void ListDeliveredReplies(ServerListView& view, const ServerListInputs& inputs, const std::vector<int32_t>& indices);

// Lets the list redraw if listing held it off, and repaints what was listed since the last repaint.
void RepaintServerList(ServerListView& view);
// The same at the list's repaint rate: now when the last repaint is long enough ago, else by a timer.
void RepaintServerListWhenDue(ServerListView& view);
// Every row is asked for its marks again as it is painted: the favourites or the history changed.
void RemarkServerRows(ServerListView& view);

// Deletes the rows and zeroes the counts: a new table. Its run's first rows wait for a whole repaint interval.
void EmptyServerList(ServerListView& view);

// The window's end: the list lets go of its view.
void ForgetServerList(ServerListView& view);

// The record a row shows; null when the list has no such row. Read before anything that lets messages through,
// which could swap the server table or re-sort the rows.
const ServerRecord* RowServerRecord(const ServerListView& view, const ShownTable& shown, int row);

// Selects and focuses the row of table index `index` and scrolls it into view; the list tells the main window of the
// change as a click would. False when no row shows the server.
bool SelectServerRow(ServerListView& view, int32_t index);

// Sorts the rows by `sortValue`, keeping the selection and focus on their servers, and repaints the list.
void SortServerRows(ServerListView& view, const ShownTable& shown, int32_t sortValue);

// Puts the list back where the user left it after another table of the same servers was listed: the row of table
// index `selected` selected and focused (-1: none), and the row of `top` scrolled to the top of the view when it is
// listed. The player list is the main window's to refill.
void ReturnToServers(ServerListView& view, int32_t selected, int32_t top);

// The list keeps the view as a property of its own, for its repaint timer.
void KeepServerListView(ServerListView& view);
