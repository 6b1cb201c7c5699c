#include "windows/views/search_rows.h"

#include "windows/state/app_state.h"

#include <strsafe.h>

#include "core/display/server_search.h"
#include "core/settings/favourites.h"
#include "core/settings/recent_servers.h"
#include "windows/platform/wide.h"

bool IsFound(AppState& app, int32_t index) {
    if (!ShowsUnderChoice(app, ShownServer(app, index))) {
        return false;
    }
    if (!app.search.Active()) {
        return true;
    }
    return SearchTextHolds(SearchTextFor(app, index), app.search);
}

const std::u16string& SearchTextFor(AppState& app, int32_t index) {
    if (app.searchTexts.size() < static_cast<size_t>(app.serverCount)) {
        app.searchTexts.resize(static_cast<size_t>(app.serverCount));
    }
    // A delivered record no longer changes, so its text holds as long as its table; any text has a separator.
    std::u16string& text = app.searchTexts[static_cast<size_t>(index)];
    if (text.empty()) {
        text = SearchTextOf(ShownServer(app, index));
    }
    return text;
}

void PrepareSearchTexts(AppState& app) {
    for (int32_t i = 0; i < app.serverCount; ++i) {
        if (ShownServer(app, i).delivered) {
            SearchTextFor(app, i);
        }
    }
}

bool ShowsUnderChoice(const AppState& app, const ServerRecord& record) {
    switch (app.showChoice) {
    case SHOW_FAVOURITES:
        return IsFavourite(app.favourites, record.addr, record.port);
    case SHOW_RECENT:
        return FindRecent(app.recentServers, record.addr, record.port) != nullptr;
    case SHOW_LAN:
        return (record.sources.load(std::memory_order_relaxed) & SOURCE_LAN) != 0;
    default:
        return true;
    }
}

bool FindingNarrows(const AppState& app) {
    return app.search.Active() || app.showChoice != SHOW_ALL;
}

void SelectMatchedPlayer(AppState& app, const ServerRecord& record) {
    SearchMatch match = MatchServer(record, app.search);
    if (match.player < 0) {
        return;
    }
    LVFINDINFOW find{};
    find.flags = LVFI_PARAM;
    find.lParam = reinterpret_cast<LPARAM>(&record.players[match.player]);
    auto row = static_cast<int>(
        SendMessageW(app.hPlayerList, LVM_FINDITEMW, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&find)));
    if (row < 0) {
        return;
    }
    LVITEMW item{};
    item.state = LVIS_SELECTED | LVIS_FOCUSED;
    item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    SendMessageW(app.hPlayerList, LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(&item));
    SendMessageW(app.hPlayerList, LVM_ENSUREVISIBLE, row, FALSE);
}

void GetSearchInfoTip(AppState& app, NMLVGETINFOTIPW* tip) {
    int32_t index = RowServerIndex(app, tip->iItem);
    if (!app.search.Active() || !tip->pszText || tip->cchTextMax <= 0 || index < 0) {
        return;
    }
    const ServerRecord& record = ShownServer(app, index);
    std::u16string why = MatchText(record, MatchServer(record, app.search));
    // The list may hand a tip it has begun (a label too long for its column): the reason replaces it.
    StringCchCopyW(tip->pszText, static_cast<size_t>(tip->cchTextMax), AsWide(why.c_str()));
}
