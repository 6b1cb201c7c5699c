#include "windows/views/server_list.h"

#include "windows/state/app_state.h"

#include <iterator>
#include <vector>

#include "core/display/dpi_scale.h"
#include "core/display/mod_filter_rule.h"
#include "core/display/server_columns.h"
#include "core/text/address.h"
#include "core/text/case_fold.h"
#include "resource.h"
#include "windows/platform/display_dpi.h"
#include "windows/platform/wide.h"
#include "windows/views/list_item.h"
#include "windows/views/player_list.h"
#include "windows/views/row_marks.h"
#include "windows/views/search_rows.h"
#include "windows/views/status_bar.h"

namespace {

constexpr DWORD LIST_EXTENDED_STYLE = LVS_EX_FULLROWSELECT | LVS_EX_SUBITEMIMAGES;

// The server list's images in ServerImage order.
constexpr int SERVER_IMAGE_ICONS[] = {IDI_COMPUTER,      IDI_PING_GOOD,  IDI_PING_MEDIUM,         IDI_PING_BAD,
                                      IDI_OS_LINUX,      IDI_OS_WINDOWS, IDI_OS_FREEBSD,          IDI_OS_APPLE,
                                      IDI_FAVOURITE,     IDI_RECENT,     IDI_FAVOURITE_RECENT,    IDI_LAN,
                                      IDI_LAN_FAVOURITE, IDI_LAN_RECENT, IDI_LAN_FAVOURITE_RECENT};

bool InsertColumn(HWND list, int index, const char16_t* title, int width) {
    LVCOLUMNW column{};
    column.mask = LVCF_FMT | LVCF_TEXT | LVCF_SUBITEM | LVCF_WIDTH;
    column.fmt = LVCFMT_LEFT;
    column.pszText = const_cast<wchar_t*>(AsWide(title));
    column.iSubItem = index;
    column.cx = width;
    return SendMessageW(list, LVM_INSERTCOLUMNW, index, reinterpret_cast<LPARAM>(&column)) != -1;
}

int ClientWidth(HWND window) {
    RECT client{};
    GetClientRect(window, &client);
    return client.right - client.left;
}

void AddIcon(AppState& app, HIMAGELIST images, int iconId, PixelSize cell) {
    // The icons hold an image of the cell's very size at each usual scale; it is taken as it is, not stretched.
    auto icon =
        static_cast<HICON>(LoadImageW(app.hInstance, MAKEINTRESOURCEW(iconId), IMAGE_ICON, cell.width, cell.height, 0));
    ImageList_ReplaceIcon(images, -1, icon);
    DestroyIcon(icon);
}

// Listing replies holds the list's redrawing off (a row inserted into a visible list otherwise redraws its scroll
// bar at once, which under Wine costs more than everything else a reply does); the list is let redraw and
// repainted at most every LIST_REPAINT_MS, never in a run's first LIST_REPAINT_MS, and at once at the run's end. What
// it keeps for that (listDirty, listRedrawHeld, listRepaintTimerSet, listLastRepaint) is in AppState.
constexpr DWORD LIST_REPAINT_MS = 250;
constexpr UINT_PTR LIST_REPAINT_TIMER_ID = 0x534C;

void HoldListRedraw(AppState& app) {
    if (!app.listRedrawHeld) {
        SendMessageW(app.hServerList, WM_SETREDRAW, FALSE, 0);
        app.listRedrawHeld = true;
    }
}

void LetListRedraw(AppState& app) {
    if (app.listRedrawHeld) {
        app.listRedrawHeld = false;
        SendMessageW(app.hServerList, WM_SETREDRAW, TRUE, 0);
    }
}

void CALLBACK OnRepaintTimer(HWND window, UINT, UINT_PTR, DWORD) {
    if (AppState* app = MainWindowState(window)) {
        RepaintServerList(*app);
    }
}

// Negative, zero or positive as the server of table index a sorts before, with or after b's.
auto ServerOrderOf(AppState& app, int32_t sortValue) {
    return [&app, sortValue](int32_t a, int32_t b) {
        ServerOrder order{&app, sortValue};
        return CompareServers(a, b, reinterpret_cast<LPARAM>(&order));
    };
}

// The list view keeps its selection and focus by row and knows nothing of what a row shows: when rows come, go or
// move, the program moves both after their servers.
struct MarkedRows {
    int selected;
    int focused;
};

MarkedRows ReadMarkedRows(HWND list) {
    return {SelectedListRow(list),
            static_cast<int>(SendMessageW(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_FOCUSED))};
}

void SetRowState(HWND list, int row, UINT state, UINT mask) {
    LVITEMW item{};
    item.state = state;
    item.stateMask = mask;
    SendMessageW(list, LVM_SETITEMSTATE, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
}

// Gives the list the rows' count, then its selection and focus on the rows `to` (-1: none). Moving them does not
// refill the player list: it shows the same server, or its caller refills it. Neither scrolls nor repaints: the
// callers know which rows changed.
void ShowRowCount(AppState& app, MarkedRows to) {
    HWND list = app.hServerList;
    app.followingRows = true;
    // Setting the count redraws the scroll bar at once, a third of a keystroke's time under Wine.
    if (SendMessageW(list, LVM_GETITEMCOUNT, 0, 0) != app.serverRows.Count()) {
        SendMessageW(list, LVM_SETITEMCOUNT, static_cast<WPARAM>(app.serverRows.Count()),
                     LVSICF_NOSCROLL | LVSICF_NOINVALIDATEALL);
    }
    MarkedRows now = ReadMarkedRows(list);
    if (now.selected != to.selected) {
        // With a single selection, selecting one row lets the other go.
        SetRowState(list, to.selected >= 0 ? to.selected : now.selected, to.selected >= 0 ? LVIS_SELECTED : 0,
                    LVIS_SELECTED);
    }
    if (now.focused != to.focused) {
        SetRowState(list, to.focused >= 0 ? to.focused : now.focused, to.focused >= 0 ? LVIS_FOCUSED : 0, LVIS_FOCUSED);
    }
    app.followingRows = false;
}

// The rows of the servers that `from` marked, after the rows were put in another order or made again.
MarkedRows RowsOfMarkedServers(AppState& app, const std::vector<int32_t>& before, MarkedRows from) {
    auto rowNow = [&](int row) {
        return row >= 0 && row < static_cast<int>(before.size())
                   ? app.serverRows.RowOf(before[static_cast<size_t>(row)])
                   : -1;
    };
    return {rowNow(from.selected), rowNow(from.focused)};
}

// Repaints the rows in view that show another server than they did (`before`, when the list's top row was
// `topBefore`): a keystroke that leaves the rows in view as they were paints none of them.
void RedrawChangedRows(AppState& app, const std::vector<int32_t>& before, int topBefore) {
    HWND list = app.hServerList;
    auto top = static_cast<int>(SendMessageW(list, LVM_GETTOPINDEX, 0, 0));
    auto page = static_cast<int>(SendMessageW(list, LVM_GETCOUNTPERPAGE, 0, 0)) + 1; // and the row cut at the foot
    int first = -1, last = -1;
    for (int row = top; row < top + page; ++row) {
        int32_t was = row < static_cast<int>(before.size()) ? before[static_cast<size_t>(row)] : -1;
        if (was != app.serverRows.IndexAt(row)) {
            first = first < 0 ? row : first;
            last = row;
        }
    }
    if (top != topBefore || last >= app.serverRows.Count()) {
        InvalidateRect(list, nullptr, FALSE); // moved, or rows gone from the foot of the view
    } else if (first >= 0) {
        SendMessageW(list, LVM_REDRAWITEMS, static_cast<WPARAM>(first), last);
    }
}

void SortServerList(AppState& app, int32_t sortValue) {
    MarkedRows from = ReadMarkedRows(app.hServerList);
    std::vector<int32_t> before = app.serverRows.Indices();
    app.serverRows.Sort(ServerOrderOf(app, sortValue));
    ShowRowCount(app, RowsOfMarkedServers(app, before, from));
    InvalidateRect(app.hServerList, nullptr, FALSE);
}

void OnColumnClick(AppState& app, const NMLISTVIEW* click) {
    int32_t sortValue = NextSortValue(click->iSubItem, app.sortColumn);
    SortServerList(app, sortValue);
    app.sortColumn = sortValue;
}

// Typing in the list moves to the next row whose host name begins with the typed text, ignoring case, as in a list
// that holds its own rows.
int FindRowByHostName(AppState& app, const NMLVFINDITEMW& find) {
    if (!(find.lvfi.flags & (LVFI_STRING | LVFI_PARTIAL)) || !find.lvfi.psz) {
        return -1;
    }
    std::u16string typed, hostname;
    AppendFolded(AsU16(find.lvfi.psz), typed);
    bool partial = (find.lvfi.flags & LVFI_PARTIAL) != 0;
    int rows = app.serverRows.Count();
    int start = find.iStart >= 0 && find.iStart < rows ? find.iStart : 0;
    for (int step = 0; step < rows; ++step) {
        int row = (start + step) % rows;
        if (row < start && !(find.lvfi.flags & LVFI_WRAP)) {
            break;
        }
        const ServerRecord* record = RowServerRecord(app, row);
        if (!record) {
            continue;
        }
        hostname.clear();
        AppendFolded(record->hostname, hostname);
        if (partial ? hostname.compare(0, typed.size(), typed) == 0 : hostname == typed) {
            return row;
        }
    }
    return -1;
}

bool IsChecked(AppState& app, int id) {
    return SendDlgItemMessageW(app.hMainDlg, id, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

} // namespace

// A server that only a source of every mod named (a classic master, the favourites, the remembered list) is listed
// under the mod filter of its run only when it runs that mod.
bool IsListed(AppState& app, const ServerRecord& record) {
    return PassesServerFilters(record, app.showFull != 0, app.showEmpty != 0) &&
           ShowsUnderModFilter(app.tableModDir.c_str(), record.sources.load(std::memory_order_relaxed),
                               ShownWebMasterSources(app), record.gamename);
}

HWND InitListViews(AppState& app) {
    HWND serverList = GetDlgItem(app.hMainDlg, IDC_SERVER_LIST);
    int width = ClientWidth(serverList);
    SendMessageW(serverList, LVM_SETEXTENDEDLISTVIEWSTYLE, 0, LIST_EXTENDED_STYLE);
    // The rows hold no state of their own but for selection and focus: their marks come with their text.
    SendMessageW(serverList, LVM_SETCALLBACKMASK, LVIS_OVERLAYMASK, 0);
    for (int i = 0; i < SERVER_COLUMN_COUNT; ++i) {
        const ColumnSpec& column = ServerColumns[i];
        if (!InsertColumn(serverList, i, column.title, InitialColumnWidth(column.widthPercent, width))) {
            return nullptr;
        }
        if (column.kind == FIELD_PING) {
            app.sortColumn = i;
        }
    }

    app.hPlayerList = GetDlgItem(app.hMainDlg, IDC_PLAYER_LIST);
    SendMessageW(app.hPlayerList, LVM_SETEXTENDEDLISTVIEWSTYLE, 0, LIST_EXTENDED_STYLE);
    width = ClientWidth(app.hPlayerList);
    for (int i = 0; i < PLAYER_COLUMN_COUNT; ++i) {
        const PlayerColumnSpec& column = PlayerColumns[i];
        if (!InsertColumn(app.hPlayerList, i, column.title, InitialColumnWidth(column.widthPercent, width))) {
            return nullptr;
        }
    }

    CreateStatusBar(app);
    CreateImageLists(app, serverList, WindowDpi(app.hMainDlg));
    return serverList;
}

int CreateImageLists(AppState& app, HWND serverList, UINT dpi) {
    // Both lists share their image lists (LVS_SHAREIMAGELISTS): each set lives until a change of DPI replaces it, or
    // the process ends. The server list's images are kept without alpha, clear where their mask says so: every pixel
    // of the icons is opaque or clear, so they look the same, and Wine draws no overlay over an image with alpha.
    PixelSize cell = ListImageSize(dpi);
    HIMAGELIST serverImages = ImageList_Create(cell.width, cell.height, ILC_COLOR24 | ILC_MASK,
                                               static_cast<int>(std::size(SERVER_IMAGE_ICONS)), 0);
    for (int icon : SERVER_IMAGE_ICONS) {
        AddIcon(app, serverImages, icon, cell);
    }
    SetRowMarkOverlays(serverImages);
    HIMAGELIST playerImages = ImageList_Create(cell.width, cell.height, ILC_MASK, 1, 0);
    AddIcon(app, playerImages, IDI_PLAYER, cell);

    auto replaced = [](HWND list, HIMAGELIST images) {
        if (auto old = reinterpret_cast<HIMAGELIST>(
                SendMessageW(list, LVM_SETIMAGELIST, LVSIL_SMALL, reinterpret_cast<LPARAM>(images)))) {
            ImageList_Destroy(old);
        }
    };
    replaced(serverList, serverImages);
    replaced(app.hPlayerList, playerImages);
    return 1;
}

void GetServerDispInfo(AppState& app, NMLVDISPINFOW* request) {
    LVITEMW& item = request->item;
    int32_t index = RowServerIndex(app, item.iItem);
    if (item.iSubItem < 0 || item.iSubItem >= SERVER_COLUMN_COUNT || index < 0) {
        return;
    }
    const ServerRecord& record = ShownServer(app, index);
    // The list also asks a row for its state alone (the marks, its callback mask); the icon only when it wants it.
    if (item.iSubItem == 0 && (item.mask & LVIF_IMAGE)) {
        item.iImage = OsIconFromVersion(record.version);
    }
    if (item.iSubItem == 0 && (item.mask & LVIF_STATE)) { // the list keeps the rest of the state itself
        item.state = (item.state & ~LVIS_OVERLAYMASK) | (RowMarkState(app, record) & item.stateMask);
    }
    if (ServerColumns[item.iSubItem].kind == FIELD_PING) {
        item.mask |= LVIF_IMAGE;
        item.iImage = PingImage(record.ping, app.config.goodPing, app.config.mediumPing);
    } else if (item.iSubItem != 0) {
        // The list draws sub-item images, and a cell that names none would get the first.
        item.mask |= LVIF_IMAGE;
        item.iImage = I_IMAGENONE;
    }
    // Only a request for text carries a buffer to write into.
    if ((item.mask & LVIF_TEXT) && item.pszText && item.cchTextMax > 0) {
        FormatServerCell(record, item.iSubItem, AsU16(item.pszText), static_cast<size_t>(item.cchTextMax));
    }
}

int CALLBACK CompareServers(LPARAM first, LPARAM second, LPARAM order) {
    const ServerOrder& by = *reinterpret_cast<const ServerOrder*>(order);
    const AppState& app = *by.app;
    // Rows always refer into the current table (a table swap empties the list first).
    if (first < 0 || first >= app.serverCount || second < 0 || second >= app.serverCount) {
        return 0;
    }
    const ServerTable& table = *app.table;
    return CompareServerRecords(table[static_cast<size_t>(first)], table[static_cast<size_t>(second)], by.sortValue);
}

void RefilterServerList(AppState& app, bool searchChanged) {
    app.showEmpty = IsChecked(app, IDC_SHOW_EMPTY);
    app.showFull = IsChecked(app, IDC_SHOW_FULL);

    int32_t passing = 0, listed = 0;
    for (int32_t i = 0; !searchChanged && i < app.serverCount; ++i) {
        const ServerRecord& record = ShownServer(app, i);
        if (record.delivered && IsListed(app, record)) {
            ++listed;
            passing += IsFound(app, i);
        }
    }
    if (!searchChanged && passing == app.shownServers) {
        if (listed != app.listedServers) { // the same rows, but under a search the count of the listed ones changed
            app.listedServers = listed;
            UpdateStatusCounts(app);
        }
        return;
    }

    MarkedRows from = ReadMarkedRows(app.hServerList);
    std::vector<int32_t> before = app.serverRows.Indices();
    auto topBefore = static_cast<int>(SendMessageW(app.hServerList, LVM_GETTOPINDEX, 0, 0));
    std::vector<int32_t> rows;
    app.shownPlayers = 0;
    app.listedServers = 0;
    for (int32_t i = 0; i < app.serverCount; ++i) {
        const ServerRecord& record = ShownServer(app, i);
        if (record.delivered && IsListed(app, record)) {
            ++app.listedServers;
            if (IsFound(app, i)) {
                rows.push_back(i);
                app.shownPlayers += record.playerCount;
            }
        }
    }
    app.serverRows.Assign(std::move(rows));
    app.serverRows.Sort(ServerOrderOf(app, app.sortColumn));
    app.shownServers = app.serverRows.Count();
    // A search keeps the selected server while it finds it, and keeps it in view; the Full and Empty boxes start
    // the list again from its top with nothing selected.
    MarkedRows to = searchChanged ? RowsOfMarkedServers(app, before, from) : MarkedRows{-1, -1};
    LetListRedraw(app);
    app.listDirty = 0;
    ShowRowCount(app, to);
    int inView = to.selected >= 0 ? to.selected : 0;
    if (inView < app.shownServers) {
        SendMessageW(app.hServerList, LVM_ENSUREVISIBLE, static_cast<WPARAM>(inView), FALSE);
    }
    RedrawChangedRows(app, before, topBefore);
    FillPlayerList(app);
    UpdateStatusCounts(app);
}

int ResizeColumns(AppState& app, int clientWidth) {
    // A size change can arrive before the lists exist.
    if (!app.hServerList || !app.hPlayerList) {
        return 0;
    }
    for (int i = 0; i < SERVER_COLUMN_COUNT; ++i) {
        SendMessageW(app.hServerList, LVM_SETCOLUMNWIDTH, i, LOWORD(ServerColumnWidth(i, clientWidth)));
    }
    int playerColumns = app.playerViewDetails ? PLAYER_COLUMN_COUNT : 1;
    for (int i = 0; i < playerColumns; ++i) {
        SendMessageW(app.hPlayerList, LVM_SETCOLUMNWIDTH, i,
                     LOWORD(PlayerColumnWidth(i, app.playerViewDetails != 0, clientWidth)));
    }
    return 0;
}

INT_PTR OnServerListViewNotify(AppState& app, NMHDR* header) {
    switch (header->code) {
    case LVN_GETDISPINFOW:
        GetServerDispInfo(app, reinterpret_cast<NMLVDISPINFOW*>(header));
        break;
    case LVN_COLUMNCLICK:
        OnColumnClick(app, reinterpret_cast<NMLISTVIEW*>(header));
        break;
    case LVN_ITEMCHANGED:
        if (!app.followingRows) {
            FillPlayerList(app);
        }
        break;
    case LVN_ODFINDITEMW:
        SetWindowLongPtrW(app.hMainDlg, DWLP_MSGRESULT,
                          FindRowByHostName(app, *reinterpret_cast<NMLVFINDITEMW*>(header)));
        return TRUE;
    case LVN_GETINFOTIPW:
        GetSearchInfoTip(app, reinterpret_cast<NMLVGETINFOTIPW*>(header));
        break;
    }
    return FALSE;
}

void ListDeliveredReplies(AppState& app, const std::vector<int32_t>& indices) {
    for (int32_t index : indices) {
        // Indices come from the receiver of the table's own run, so they lie inside it.
        ServerRecord& record = ShownServer(app, index);
        record.delivered = 1;
        if (!app.hServerList || !IsListed(app, record)) {
            continue;
        }
        ++app.listedServers;
        if (IsFound(app, index)) {
            ListServerRow(app, index);
        }
    }
}

void ListServerRow(AppState& app, int32_t index) {
    HoldListRedraw(app);
    MarkedRows from = ReadMarkedRows(app.hServerList);
    int row = app.serverRows.InsertSorted(index, ServerOrderOf(app, app.sortColumn));
    auto moved = [row](int marked) { return marked >= row ? marked + 1 : marked; };
    ShowRowCount(app, {moved(from.selected), moved(from.focused)});
    app.listDirty = 1;
    ++app.shownServers;
    app.shownPlayers += ShownServer(app, index).playerCount;
}

void RepaintServerList(AppState& app) {
    if (app.listRepaintTimerSet) {
        KillTimer(app.hMainDlg, LIST_REPAINT_TIMER_ID);
        app.listRepaintTimerSet = false;
    }
    // Without a list, InvalidateRect would repaint every window on the desktop.
    if (!app.hServerList) {
        return;
    }
    LetListRedraw(app);
    if (app.listDirty) {
        InvalidateRect(app.hServerList, nullptr, FALSE);
        app.listDirty = 0;
    }
    app.listLastRepaint = GetTickCount();
}

void RepaintServerListWhenDue(AppState& app) {
    DWORD since = GetTickCount() - app.listLastRepaint;
    if (since >= LIST_REPAINT_MS) {
        RepaintServerList(app);
    } else if (!app.listRepaintTimerSet && app.hMainDlg) {
        app.listRepaintTimerSet =
            SetTimer(app.hMainDlg, LIST_REPAINT_TIMER_ID, LIST_REPAINT_MS - since, OnRepaintTimer) != 0;
    }
}

void EmptyServerLists(AppState& app) {
    app.serverRows.Clear();
    if (app.hServerList) {
        SendMessageW(app.hServerList, LVM_DELETEALLITEMS, 0, 0);
        app.listLastRepaint = GetTickCount(); // a new table: its run's first rows wait for a whole interval
    }
    if (app.hPlayerList) {
        SendMessageW(app.hPlayerList, LVM_DELETEALLITEMS, 0, 0);
    }
    app.shownServers = 0;
    app.shownPlayers = 0;
    app.listedServers = 0;
}

const ServerRecord* RowServerRecord(AppState& app, int row) {
    int32_t index = RowServerIndex(app, row);
    return index >= 0 ? &ShownServer(app, index) : nullptr;
}

bool ReadRowServerAddress(AppState& app, int row, wchar_t* address, size_t size) {
    const ServerRecord* record = RowServerRecord(app, row);
    if (!record) {
        return false;
    }
    FormatServerAddress(AsU16(address), size, record->addr, record->port);
    return true;
}
