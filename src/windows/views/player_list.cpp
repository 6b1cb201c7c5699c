#include "windows/views/player_list.h"

#include "core/display/dpi_scale.h"
#include "core/display/player_rows.h"
#include "core/display/server_columns.h"
#include "platform/win32/wide.h"
#include "resource.h"
#include "windows/views/list_item.h"

namespace {

constexpr DWORD LIST_EXTENDED_STYLE = LVS_EX_FULLROWSELECT | LVS_EX_SUBITEMIMAGES;

bool InsertPlayerItem(PlayerListView& view, int position, PlayerRecord* player) {
    LVITEMW item{};
    item.mask = LVIF_TEXT | LVIF_PARAM | LVIF_STATE;
    item.iItem = position;
    item.pszText = LPSTR_TEXTCALLBACKW;
    item.lParam = reinterpret_cast<LPARAM>(player);
    return SendMessageW(view.list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)) != -1;
}

void GetPlayerDispInfo(NMLVDISPINFOW* request) {
    const LVITEMW& item = request->item;
    auto* player = reinterpret_cast<const PlayerRecord*>(item.lParam);
    if (player && item.pszText && item.cchTextMax > 0) {
        FormatPlayerCell(*player, item.iSubItem, AsU16(item.pszText), static_cast<size_t>(item.cchTextMax));
    }
}

int CALLBACK ComparePlayers(LPARAM first, LPARAM second, LPARAM column) {
    return ComparePlayerRecords(*reinterpret_cast<const PlayerRecord*>(first),
                                *reinterpret_cast<const PlayerRecord*>(second), static_cast<int>(column));
}

// Selects the row of `player` (in the record the list shows) and brings it into view; false when no row has it.
bool SelectPlayerRow(PlayerListView& view, const PlayerRecord* player) {
    LVFINDINFOW find{};
    find.flags = LVFI_PARAM;
    find.lParam = reinterpret_cast<LPARAM>(player);
    auto row = static_cast<int>(
        SendMessageW(view.list, LVM_FINDITEMW, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&find)));
    if (row < 0) {
        return false;
    }
    LVITEMW item{};
    item.state = LVIS_SELECTED | LVIS_FOCUSED;
    item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    SendMessageW(view.list, LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(&item));
    SendMessageW(view.list, LVM_ENSUREVISIBLE, row, FALSE);
    return true;
}

// Selects the first player of `record` whose name holds the search text.
void SelectMatchedPlayer(PlayerListView& view, const ServerRecord& record, const ServerSearch& search) {
    SearchMatch match = MatchServer(record, search);
    if (match.player >= 0) {
        SelectPlayerRow(view, &record.players[match.player]);
    }
}

} // namespace

bool InitPlayerList(PlayerListView& view, HWND dialog, HINSTANCE instance, UINT dpi, bool canSetView) {
    view.instance = instance;
    view.canSetView = canSetView;
    view.list = GetDlgItem(dialog, IDC_PLAYER_LIST);
    SendMessageW(view.list, LVM_SETEXTENDEDLISTVIEWSTYLE, 0, LIST_EXTENDED_STYLE);
    RECT client{};
    GetClientRect(view.list, &client);
    for (int i = 0; i < PLAYER_COLUMN_COUNT; ++i) {
        const PlayerColumnSpec& column = PlayerColumns[i];
        if (!InsertListColumn(view.list, i, AsWide(column.title),
                              InitialColumnWidth(column.widthPercent, client.right))) {
            return false;
        }
    }
    CreatePlayerImages(view, dpi);
    return true;
}

void CreatePlayerImages(PlayerListView& view, UINT dpi) {
    PixelSize cell = ListImageSize(dpi);
    HIMAGELIST images = ImageList_Create(cell.width, cell.height, ILC_MASK, 1, 0);
    auto icon = static_cast<HICON>(
        LoadImageW(view.instance, MAKEINTRESOURCEW(IDI_PLAYER), IMAGE_ICON, cell.width, cell.height, 0));
    ImageList_ReplaceIcon(images, -1, icon);
    DestroyIcon(icon);
    if (auto old = reinterpret_cast<HIMAGELIST>(
            SendMessageW(view.list, LVM_SETIMAGELIST, LVSIL_SMALL, reinterpret_cast<LPARAM>(images)))) {
        ImageList_Destroy(old);
    }
}

void ResizePlayerColumns(PlayerListView& view, int clientWidth) {
    int columns = view.details ? PLAYER_COLUMN_COUNT : 1;
    for (int i = 0; i < columns; ++i) {
        SendMessageW(view.list, LVM_SETCOLUMNWIDTH, i, LOWORD(PlayerColumnWidth(i, view.details, clientWidth)));
    }
}

void FillPlayerList(PlayerListView& view, ServerRecord* record, const ServerSearch& search) {
    EmptyPlayerList(view);
    if (!record) {
        return;
    }
    for (int i = 0; i < record->playerCount && i < MAX_PLAYERS; ++i) {
        if (!InsertPlayerItem(view, i, &record->players[i])) {
            return;
        }
    }
    if (search.Active()) {
        SelectMatchedPlayer(view, *record, search);
    }
}

bool SelectPlayerNamed(PlayerListView& view, const ServerRecord& record, const std::u16string& name) {
    for (int i = 0; i < record.playerCount && i < MAX_PLAYERS; ++i) {
        if (record.players[i].name == name) {
            return SelectPlayerRow(view, &record.players[i]);
        }
    }
    return false;
}

void EmptyPlayerList(PlayerListView& view) {
    if (SendMessageW(view.list, LVM_GETITEMCOUNT, 0, 0) > 0) { // an empty list would still be repainted
        SendMessageW(view.list, LVM_DELETEALLITEMS, 0, 0);
    }
}

void SwitchPlayerView(PlayerListView& view) {
    if (!view.canSetView) {
        return;
    }
    // The way back from details is the small-icon view, not the list mode the template starts in.
    SendMessageW(view.list, LVM_SETVIEW, view.details ? LV_VIEW_SMALLICON : LV_VIEW_DETAILS, 0);
    view.details = !view.details;
}

void ShowPlayerView(PlayerListView& view, bool details) {
    view.details = details;
    if (details && view.canSetView) {
        SendMessageW(view.list, LVM_SETVIEW, LV_VIEW_DETAILS, 0);
    }
}

void ShowMatchedPlayerAlways(PlayerListView& view, bool search) {
    LONG_PTR style = GetWindowLongPtrW(view.list, GWL_STYLE);
    SetWindowLongPtrW(view.list, GWL_STYLE, search ? style | LVS_SHOWSELALWAYS : style & ~LONG_PTR{LVS_SHOWSELALWAYS});
}

INT_PTR OnPlayerListNotify(PlayerListView& view, NMHDR* header) {
    switch (header->code) {
    case LVN_GETDISPINFOW:
        GetPlayerDispInfo(reinterpret_cast<NMLVDISPINFOW*>(header));
        break;
    case LVN_COLUMNCLICK:
        SendMessageW(view.list, LVM_SORTITEMS, static_cast<WPARAM>(reinterpret_cast<NMLISTVIEW*>(header)->iSubItem),
                     reinterpret_cast<LPARAM>(ComparePlayers));
        break;
    case NM_RCLICK:
        SwitchPlayerView(view);
        break;
    }
    return FALSE;
}
