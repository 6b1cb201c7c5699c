#include "windows/views/search_box.h"

#include "windows/state/app_state.h"

#include <commctrl.h>

#include "resource.h"
#include "windows/platform/wide.h"
#include "windows/views/search_rows.h"
#include "windows/views/server_list.h"

namespace {

HWND SearchBox(AppState& app) {
    return GetDlgItem(app.hMainDlg, IDC_SEARCH);
}

} // namespace

void InitSearchBox(AppState& app) {
    SendMessageW(SearchBox(app), EM_LIMITTEXT, SEARCH_TEXT_MAX, 0);
}

void ApplyFinding(AppState& app) {
    RefilterServerList(app, true);
}

void OnSearchTextChanged(AppState& app) {
    // Pasted text may be longer than the box's limit; the search takes its first SEARCH_TEXT_MAX characters.
    wchar_t typed[SEARCH_TEXT_MAX + 1] = {};
    GetWindowTextW(SearchBox(app), typed, static_cast<int>(std::size(typed)));
    ServerSearch search = MakeServerSearch(AsU16(typed));
    if (search.folded == app.search.folded) {
        return; // a control character, or a change of case that folds the same
    }
    bool wasActive = app.search.Active();
    app.search = std::move(search);
    // The rows' tips say why they matched, and the player list shows the player who matched even while the server
    // list has the focus; both only while there is a search. A change of style repaints the whole list, so only a
    // search that begins or ends changes them.
    if (app.search.Active() != wasActive) {
        SendMessageW(app.hServerList, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_INFOTIP,
                     app.search.Active() ? LVS_EX_INFOTIP : 0);
        LONG_PTR style = GetWindowLongPtrW(app.hPlayerList, GWL_STYLE);
        SetWindowLongPtrW(app.hPlayerList, GWL_STYLE,
                          app.search.Active() ? style | LVS_SHOWSELALWAYS : style & ~LONG_PTR{LVS_SHOWSELALWAYS});
    }
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
