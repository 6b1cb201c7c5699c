#include "windows/views/search_box.h"

#include "windows/state/app_state.h"

#include <commctrl.h>

#include <string>
#include <vector>

#include "resource.h"
#include "windows/platform/wide.h"
#include "windows/views/list_item.h"
#include "windows/views/player_list.h"
#include "windows/views/search_rows.h"
#include "windows/views/server_list.h"
#include "windows/views/status_bar.h"

namespace {

// Rows a search may delete and list one by one however few stay.
constexpr int ROW_BY_ROW_MIN = 64;

HWND SearchBox(AppState& app) {
    return GetDlgItem(app.hMainDlg, IDC_SEARCH);
}

// The rows follow a new search by deleting what it no longer shows and listing what it newly shows, each in its
// sorted place, when that is less work than listing all of them again; false, changing nothing, when it is not.
// Under Wine a row costs the list tens of microseconds, so a keystroke that narrows a list of ten thousand by a few
// rows is done in a few milliseconds instead of a fifth of a second.
bool FollowSearchRowByRow(AppState& app) {
    auto rows = static_cast<int>(SendMessageW(app.hServerList, LVM_GETITEMCOUNT, 0, 0));
    std::vector<bool> shown(static_cast<size_t>(app.serverCount));
    std::vector<int> leaving;
    for (int row = 0; row < rows; ++row) {
        LPARAM index = -1;
        if (!ReadListItemData(app.hServerList, row, index) || index < 0 || index >= app.serverCount) {
            return false;
        }
        shown[static_cast<size_t>(index)] = true;
        if (!IsFound(app, static_cast<int32_t>(index))) {
            leaving.push_back(row);
        }
    }
    std::vector<int32_t> coming;
    for (int32_t i = 0; i < app.serverCount; ++i) {
        const ServerRecord& record = ShownServer(app, i);
        if (!shown[static_cast<size_t>(i)] && record.delivered && IsListed(app, record) && IsFound(app, i)) {
            coming.push_back(i);
        }
    }
    int staying = rows - static_cast<int>(leaving.size());
    if (static_cast<int>(leaving.size() + coming.size()) > staying / 2 + ROW_BY_ROW_MIN) {
        return false;
    }
    SendMessageW(app.hServerList, WM_SETREDRAW, FALSE, 0);
    for (auto row = leaving.rbegin(); row != leaving.rend(); ++row) {
        LPARAM index = -1;
        ReadListItemData(app.hServerList, *row, index);
        SendMessageW(app.hServerList, LVM_DELETEITEM, static_cast<WPARAM>(*row), 0);
        --app.shownServers;
        app.shownPlayers -= ShownServer(app, static_cast<int32_t>(index)).playerCount;
    }
    for (int32_t index : coming) {
        ListServerRow(app, index);
    }
    SendMessageW(app.hServerList, WM_SETREDRAW, TRUE, 0);
    app.listRedrawHeld = false;
    app.listDirty = 0;
    InvalidateRect(app.hServerList, nullptr, FALSE);
    return true;
}

} // namespace

void InitSearchBox(AppState& app) {
    SendMessageW(SearchBox(app), EM_LIMITTEXT, SEARCH_TEXT_MAX, 0);
}

void ApplyFinding(AppState& app) {
    if (FollowSearchRowByRow(app)) {
        FillPlayerList(app); // its server's row may have gone
        UpdateStatusCounts(app);
    } else {
        RefilterServerList(app, true);
    }
}

void OnSearchTextChanged(AppState& app) {
    // Pasted text may be longer than the box's limit; the search takes its first SEARCH_TEXT_MAX characters.
    wchar_t typed[SEARCH_TEXT_MAX + 1] = {};
    GetWindowTextW(SearchBox(app), typed, static_cast<int>(std::size(typed)));
    ServerSearch search = MakeServerSearch(AsU16(typed));
    if (search.folded == app.search.folded) {
        return; // a control character, or a change of case that folds the same
    }
    app.search = std::move(search);
    // The rows' tips say why they matched, and the player list shows the player who matched even while the server
    // list has the focus; both only while there is a search.
    SendMessageW(app.hServerList, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_INFOTIP,
                 app.search.Active() ? LVS_EX_INFOTIP : 0);
    LONG_PTR style = GetWindowLongPtrW(app.hPlayerList, GWL_STYLE);
    SetWindowLongPtrW(app.hPlayerList, GWL_STYLE,
                      app.search.Active() ? style | LVS_SHOWSELALWAYS : style & ~LONG_PTR{LVS_SHOWSELALWAYS});
    ApplyFinding(app);
}

void FocusSearchBox(AppState& app) {
    HWND box = SearchBox(app);
    SendMessageW(app.hMainDlg, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(box), TRUE);
    SendMessageW(box, EM_SETSEL, 0, -1);
}

bool ClearSearchBox(AppState& app) {
    HWND box = SearchBox(app);
    if (GetWindowTextLengthW(box) == 0) {
        return false;
    }
    SetWindowTextW(box, L"");
    OnSearchTextChanged(app); // as its EN_CHANGE does, which has then nothing left to do
    return true;
}
