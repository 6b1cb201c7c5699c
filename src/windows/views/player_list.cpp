#include "windows/views/player_list.h"

#include "windows/state/app_state.h"

#include "core/display/player_rows.h"
#include "core/display/server_search.h"
#include "windows/platform/wide.h"
#include "windows/views/list_item.h"
#include "windows/views/search_rows.h"
#include "windows/views/status_bar.h"

namespace {

// The server list's selected row's table index, or -1 when there is none.
int32_t SelectedServerIndex(AppState& app) {
    return RowServerIndex(app, SelectedListRow(app.hServerList));
}

bool InsertPlayerItem(AppState& app, int position, PlayerRecord* player) {
    LVITEMW item{};
    item.mask = LVIF_TEXT | LVIF_PARAM | LVIF_STATE;
    item.iItem = position;
    item.pszText = LPSTR_TEXTCALLBACKW;
    item.lParam = reinterpret_cast<LPARAM>(player);
    return SendMessageW(app.hPlayerList, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)) != -1;
}

void GetPlayerDispInfo(NMLVDISPINFOW* request) {
    const LVITEMW& item = request->item;
    auto* player = reinterpret_cast<const PlayerRecord*>(item.lParam);
    if (player && item.pszText && item.cchTextMax > 0) {
        FormatPlayerCell(*player, item.iSubItem, AsU16(item.pszText), static_cast<size_t>(item.cchTextMax));
    }
}

void OnPlayerColumnClick(AppState& app, const NMLISTVIEW* click) {
    SendMessageW(app.hPlayerList, LVM_SORTITEMS, static_cast<WPARAM>(click->iSubItem),
                 reinterpret_cast<LPARAM>(ComparePlayers));
}

} // namespace

void FillPlayerList(AppState& app) {
    if (SendMessageW(app.hPlayerList, LVM_GETITEMCOUNT, 0, 0) > 0) { // an empty list would still be repainted
        SendMessageW(app.hPlayerList, LVM_DELETEALLITEMS, 0, 0);
    }
    int32_t index = SelectedServerIndex(app);
    if (index < 0) {
        return;
    }
    ServerRecord& record = ShownServer(app, index);
    for (int i = 0; i < record.playerCount && i < MAX_PLAYERS; ++i) {
        if (!InsertPlayerItem(app, i, &record.players[i])) {
            return;
        }
    }
    SelectMatchedPlayer(app, record);
    // The row's tip says why it matched where the list shows tips (Wine's asks for none); the status line says it too.
    if (app.search.Active()) {
        SetStatus(app, AsWide(MatchText(record, MatchServer(record, app.search)).c_str()));
    }
}

int CALLBACK ComparePlayers(LPARAM first, LPARAM second, LPARAM column) {
    return ComparePlayerRecords(*reinterpret_cast<const PlayerRecord*>(first),
                                *reinterpret_cast<const PlayerRecord*>(second), static_cast<int>(column));
}

void SwitchPlayerView(AppState& app) {
    if (!app.canSetView) {
        return;
    }
    // The way back from details is the small-icon view, not the list mode the template starts in.
    SendMessageW(app.hPlayerList, LVM_SETVIEW, app.playerViewDetails ? LV_VIEW_SMALLICON : LV_VIEW_DETAILS, 0);
    app.playerViewDetails = app.playerViewDetails ? 0 : 1;
}

INT_PTR OnPlayerListNotify(AppState& app, NMHDR* header) {
    switch (header->code) {
    case LVN_GETDISPINFOW:
        GetPlayerDispInfo(reinterpret_cast<NMLVDISPINFOW*>(header));
        break;
    case LVN_COLUMNCLICK:
        OnPlayerColumnClick(app, reinterpret_cast<NMLISTVIEW*>(header));
        break;
    case NM_RCLICK:
        SwitchPlayerView(app);
        break;
    }
    return FALSE;
}
