#include "windows/views/row_marks.h"

#include "windows/state/app_state.h"

#include "core/display/server_columns.h"
#include "core/settings/favourites.h"
#include "core/settings/recent_servers.h"
#include "windows/views/list_item.h"

namespace {

// Overlay numbers: a row shows one overlay at a time, so a server that is both has an image of its own.
constexpr int FAVOURITE_OVERLAY = 1;
constexpr int RECENT_OVERLAY = 2;
constexpr int FAVOURITE_RECENT_OVERLAY = 3;

} // namespace

void SetRowMarkOverlays(HIMAGELIST serverImages) {
    ImageList_SetOverlayImage(serverImages, IMAGE_FAVOURITE, FAVOURITE_OVERLAY);
    ImageList_SetOverlayImage(serverImages, IMAGE_RECENT, RECENT_OVERLAY);
    ImageList_SetOverlayImage(serverImages, IMAGE_FAVOURITE_RECENT, FAVOURITE_RECENT_OVERLAY);
}

void MarkFavouriteRows(AppState& app) {
    int rows = app.hServerList ? static_cast<int>(SendMessageW(app.hServerList, LVM_GETITEMCOUNT, 0, 0)) : 0;
    for (int row = 0; row < rows; ++row) {
        LPARAM index = -1;
        if (!ReadListItemData(app.hServerList, row, index) || index < 0 || index >= app.serverCount) {
            continue;
        }
        LVITEMW item{};
        item.state = RowMarkState(app, ShownServer(app, index));
        item.stateMask = LVIS_OVERLAYMASK;
        SendMessageW(app.hServerList, LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(&item));
    }
}

UINT RowMarkState(AppState& app, const ServerRecord& record) {
    bool favourite = IsFavourite(app.favourites, record.addr, record.port);
    bool recent = FindRecent(app.recentServers, record.addr, record.port) != nullptr;
    int overlay = favourite && recent ? FAVOURITE_RECENT_OVERLAY
                  : favourite         ? FAVOURITE_OVERLAY
                  : recent            ? RECENT_OVERLAY
                                      : 0;
    return INDEXTOOVERLAYMASK(overlay);
}
