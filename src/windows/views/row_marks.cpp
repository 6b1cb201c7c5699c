#include "windows/views/row_marks.h"

#include "windows/state/app_state.h"

#include "core/display/server_columns.h"
#include "core/settings/favourites.h"
#include "core/settings/recent_servers.h"

namespace {

// Overlay numbers: a row shows one overlay at a time, so each mix of the marks has an image of its own. The overlay
// is a sum: 1 for a favourite, 2 for a server played on lately, 4 for one that answered on the LAN.
constexpr int FAVOURITE_OVERLAY = 1;
constexpr int RECENT_OVERLAY = 2;
constexpr int LAN_OVERLAY = 4;
constexpr int MARK_IMAGES[] = {IMAGE_FAVOURITE,     IMAGE_RECENT,     IMAGE_FAVOURITE_RECENT,    IMAGE_LAN,
                               IMAGE_LAN_FAVOURITE, IMAGE_LAN_RECENT, IMAGE_LAN_FAVOURITE_RECENT};

} // namespace

void SetRowMarkOverlays(HIMAGELIST serverImages) {
    int overlay = 1;
    for (int image : MARK_IMAGES) {
        ImageList_SetOverlayImage(serverImages, image, overlay++);
    }
}

void MarkFavouriteRows(AppState& app) {
    // The list asks for each row's marks as it paints it.
    if (app.hServerList) {
        InvalidateRect(app.hServerList, nullptr, FALSE);
    }
}

UINT RowMarkState(AppState& app, const ServerRecord& record) {
    bool favourite = IsFavourite(app.favourites, record.addr, record.port);
    bool recent = FindRecent(app.recentServers, record.addr, record.port) != nullptr;
    bool lan = (record.sources.load(std::memory_order_relaxed) & SOURCE_LAN) != 0;
    int overlay = (favourite ? FAVOURITE_OVERLAY : 0) + (recent ? RECENT_OVERLAY : 0) + (lan ? LAN_OVERLAY : 0);
    return INDEXTOOVERLAYMASK(overlay);
}
