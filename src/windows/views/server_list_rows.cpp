#include "windows/views/server_list_rows.h"

#include <algorithm>
#include <vector>

#include "core/display/mod_filter_rule.h"
#include "core/display/server_columns.h"
#include "windows/views/list_item.h"

namespace {

constexpr const wchar_t* SERVER_LIST_PROPERTY = L"ServerListProperty";

// Negative, zero or positive as the server of table index a sorts before, with or after b's.
auto ServerOrderOf(const ShownTable& shown, int32_t sortValue) {
    return [&shown, sortValue](int32_t a, int32_t b) {
        // Rows always refer into the current table (a table swap empties the list first).
        if (a < 0 || a >= shown.count || b < 0 || b >= shown.count) {
            return 0;
        }
        return CompareServerRecords(shown.At(a), shown.At(b), sortValue);
    };
}

void HoldListRedraw(ServerListView& view) {
    if (!view.redrawHeld) {
        SendMessageW(view.list, WM_SETREDRAW, FALSE, 0);
        view.redrawHeld = true;
    }
}

void LetListRedraw(ServerListView& view) {
    if (view.redrawHeld) {
        view.redrawHeld = false;
        SendMessageW(view.list, WM_SETREDRAW, TRUE, 0);
    }
}

void CALLBACK OnRepaintTimer(HWND list, UINT, UINT_PTR, DWORD) {
    if (auto* view = static_cast<ServerListView*>(GetPropW(list, SERVER_LIST_PROPERTY))) {
        RepaintServerList(*view);
    }
}

// The list view keeps its selection and focus by row and knows nothing of what a row shows: when rows come, go or
// move, the view moves both after their servers.
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
// refill the player list: it shows the same server, or the main window refills it. Neither scrolls nor repaints:
// the callers know which rows changed.
void ShowRowCount(ServerListView& view, MarkedRows to) {
    HWND list = view.list;
    view.followingRows = true;
    // Setting the count redraws the scroll bar at once, a third of a keystroke's time under Wine.
    if (SendMessageW(list, LVM_GETITEMCOUNT, 0, 0) != view.rows.Count()) {
        SendMessageW(list, LVM_SETITEMCOUNT, static_cast<WPARAM>(view.rows.Count()),
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
    view.followingRows = false;
}

// The rows of the servers that `from` marked, after the rows were put in another order or made again.
MarkedRows RowsOfMarkedServers(const ServerListView& view, const std::vector<int32_t>& before, MarkedRows from) {
    auto rowNow = [&](int row) {
        return row >= 0 && row < static_cast<int>(before.size()) ? view.rows.RowOf(before[static_cast<size_t>(row)])
                                                                 : -1;
    };
    return {rowNow(from.selected), rowNow(from.focused)};
}

// Repaints the rows in view that show another server than they did (`before`, when the list's top row was
// `topBefore`): a keystroke that leaves the rows in view as they were paints none of them.
void RedrawChangedRows(ServerListView& view, const std::vector<int32_t>& before, int topBefore) {
    HWND list = view.list;
    auto top = static_cast<int>(SendMessageW(list, LVM_GETTOPINDEX, 0, 0));
    auto page = static_cast<int>(SendMessageW(list, LVM_GETCOUNTPERPAGE, 0, 0)) + 1; // and the row cut at the foot
    int first = -1, last = -1;
    for (int row = top; row < top + page; ++row) {
        int32_t was = row < static_cast<int>(before.size()) ? before[static_cast<size_t>(row)] : -1;
        if (was != view.rows.IndexAt(row)) {
            first = first < 0 ? row : first;
            last = row;
        }
    }
    if (top != topBefore || last >= view.rows.Count()) {
        InvalidateRect(list, nullptr, FALSE); // moved, or rows gone from the foot of the view
    } else if (first >= 0) {
        SendMessageW(list, LVM_REDRAWITEMS, static_cast<WPARAM>(first), last);
    }
}

// Lists the delivered record `index` in its sorted place and counts its row.
void ListServerRow(ServerListView& view, const ShownTable& shown, int32_t index) {
    HoldListRedraw(view);
    MarkedRows from = ReadMarkedRows(view.list);
    int row = view.rows.InsertSorted(index, ServerOrderOf(shown, view.sortColumn));
    auto moved = [row](int marked) { return marked >= row ? marked + 1 : marked; };
    ShowRowCount(view, {moved(from.selected), moved(from.focused)});
    view.dirty = true;
    ++view.shownServers;
    view.shownPlayers += shown.At(index).playerCount;
}

} // namespace

int32_t RowServerIndex(const ServerListView& view, const ShownTable& shown, int64_t row) {
    int32_t index = view.rows.IndexAt(row);
    return index < shown.count ? index : -1;
}

int32_t SelectedServerIndex(const ServerListView& view, const ShownTable& shown) {
    return RowServerIndex(view, shown, SelectedListRow(view.list));
}

bool SelectServerRow(ServerListView& view, int32_t index) {
    int row = view.rows.RowOf(index);
    if (row < 0) {
        return false;
    }
    // A list whose redrawing is held off for listing does not scroll.
    RepaintServerList(view);
    SetRowState(view.list, row, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    SendMessageW(view.list, LVM_ENSUREVISIBLE, static_cast<WPARAM>(row), FALSE);
    return true;
}

const ServerRecord* RowServerRecord(const ServerListView& view, const ShownTable& shown, int row) {
    int32_t index = RowServerIndex(view, shown, row);
    return index >= 0 ? &shown.At(index) : nullptr;
}

bool IsListed(const ServerListView& view, const ShownTable& shown, const ServerRecord& record) {
    return PassesServerFilters(record, view.showFull, view.showEmpty) &&
           ShowsUnderModFilter(shown.modDir.c_str(), record.sources.load(std::memory_order_relaxed),
                               shown.WebMasterSources(), record.gamename);
}

void SortServerRows(ServerListView& view, const ShownTable& shown, int32_t sortValue) {
    MarkedRows from = ReadMarkedRows(view.list);
    std::vector<int32_t> before = view.rows.Indices();
    view.rows.Sort(ServerOrderOf(shown, sortValue));
    ShowRowCount(view, RowsOfMarkedServers(view, before, from));
    InvalidateRect(view.list, nullptr, FALSE);
}

void ReturnToServers(ServerListView& view, int32_t selected, int32_t top) {
    if (!view.list) {
        return;
    }
    int row = selected >= 0 ? view.rows.RowOf(selected) : -1;
    ShowRowCount(view, {row, row});
    int topRow = top >= 0 ? view.rows.RowOf(top) : -1;
    if (topRow >= 0) {
        // The row a page below it is brought into view from above, which puts it at the top (the list scrolls as
        // little as it can), unless the rows end before.
        auto page = static_cast<int>(SendMessageW(view.list, LVM_GETCOUNTPERPAGE, 0, 0));
        int bottomRow = std::min(topRow + std::max(page, 1) - 1, view.rows.Count() - 1);
        SendMessageW(view.list, LVM_ENSUREVISIBLE, 0, FALSE);
        SendMessageW(view.list, LVM_ENSUREVISIBLE, static_cast<WPARAM>(bottomRow), FALSE);
        SendMessageW(view.list, LVM_ENSUREVISIBLE, static_cast<WPARAM>(topRow), FALSE);
    }
    InvalidateRect(view.list, nullptr, FALSE);
}

void KeepServerListView(ServerListView& view) {
    SetPropW(view.list, SERVER_LIST_PROPERTY, &view);
}

bool RefilterServerList(ServerListView& view, const ServerListInputs& inputs, bool showFull, bool showEmpty,
                        bool searchChanged, bool* countsChanged) {
    view.showFull = showFull;
    view.showEmpty = showEmpty;
    *countsChanged = false;
    const ShownTable& shown = inputs.shown;

    int32_t passing = 0, listed = 0;
    for (int32_t i = 0; !searchChanged && i < shown.count; ++i) {
        const ServerRecord& record = shown.At(i);
        if (record.delivered && IsListed(view, shown, record)) {
            ++listed;
            passing += IsFound(inputs.finding, shown, inputs.lists, i);
        }
    }
    if (!searchChanged && passing == view.shownServers) {
        if (listed != view.listedServers) { // the same rows, but under a search the count of the listed ones changed
            view.listedServers = listed;
            *countsChanged = true;
        }
        return false;
    }

    MarkedRows from = ReadMarkedRows(view.list);
    std::vector<int32_t> before = view.rows.Indices();
    auto topBefore = static_cast<int>(SendMessageW(view.list, LVM_GETTOPINDEX, 0, 0));
    std::vector<int32_t> rows;
    view.shownPlayers = 0;
    view.listedServers = 0;
    for (int32_t i = 0; i < shown.count; ++i) {
        const ServerRecord& record = shown.At(i);
        if (record.delivered && IsListed(view, shown, record)) {
            ++view.listedServers;
            if (IsFound(inputs.finding, shown, inputs.lists, i)) {
                rows.push_back(i);
                view.shownPlayers += record.playerCount;
            }
        }
    }
    view.rows.Assign(std::move(rows));
    view.rows.Sort(ServerOrderOf(shown, view.sortColumn));
    view.shownServers = view.rows.Count();
    // A search keeps the selected server while it finds it, and keeps it in view; the Full and Empty boxes start
    // the list again from its top with nothing selected.
    MarkedRows to = searchChanged ? RowsOfMarkedServers(view, before, from) : MarkedRows{-1, -1};
    LetListRedraw(view);
    view.dirty = false;
    ShowRowCount(view, to);
    int inView = to.selected >= 0 ? to.selected : 0;
    if (inView < view.shownServers) {
        SendMessageW(view.list, LVM_ENSUREVISIBLE, static_cast<WPARAM>(inView), FALSE);
    }
    RedrawChangedRows(view, before, topBefore);
    *countsChanged = true;
    return true;
}

void ListDeliveredReplies(ServerListView& view, const ServerListInputs& inputs, const std::vector<int32_t>& indices) {
    for (int32_t index : indices) {
        // Indices come from the receiver of the table's own run, so they lie inside it.
        ServerRecord& record = inputs.shown.At(index);
        record.delivered = 1;
        if (!view.list || !IsListed(view, inputs.shown, record)) {
            continue;
        }
        ++view.listedServers;
        if (IsFound(inputs.finding, inputs.shown, inputs.lists, index)) {
            ListServerRow(view, inputs.shown, index);
        }
    }
}

void RepaintServerList(ServerListView& view) {
    // Without a list, InvalidateRect would repaint every window on the desktop.
    if (!view.list) {
        return;
    }
    view.repaint.TimerEnded(view.list);
    LetListRedraw(view);
    if (view.dirty) {
        InvalidateRect(view.list, nullptr, FALSE);
        view.dirty = false;
    }
    view.repaint.Done();
}

void RepaintServerListWhenDue(ServerListView& view) {
    if (view.repaint.Due()) {
        RepaintServerList(view);
    } else {
        view.repaint.Schedule(view.list, OnRepaintTimer);
    }
}

void RemarkServerRows(ServerListView& view) {
    // The list asks for each row's marks as it paints it.
    if (view.list) {
        InvalidateRect(view.list, nullptr, FALSE);
    }
}

void EmptyServerList(ServerListView& view) {
    view.rows.Clear();
    if (view.list) {
        SendMessageW(view.list, LVM_DELETEALLITEMS, 0, 0);
        view.repaint.Done(); // a new table: its run's first rows wait for a whole interval
    }
    view.shownServers = 0;
    view.shownPlayers = 0;
    view.listedServers = 0;
}

void ForgetServerList(ServerListView& view) {
    if (view.list) {
        view.repaint.TimerEnded(view.list);
        RemovePropW(view.list, SERVER_LIST_PROPERTY);
        view.list = nullptr;
    }
}
