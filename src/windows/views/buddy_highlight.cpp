#include "windows/views/buddy_highlight.h"

#include "windows/state/app_state.h"

#include <cstdint>
#include <initializer_list>

#include "core/display/buddy_match.h"
#include "windows/platform/wide.h"
#include "windows/views/list_item.h"

namespace {

constexpr DWORD CDDS_SUBITEM_PREPAINT = CDDS_ITEMPREPAINT | CDDS_SUBITEM;

size_t BuddyCount(AppState& app) {
    return app.buddies ? static_cast<size_t>(app.buddyCount) : 0;
}

bool IsHighlightedRow(AppState& app, HWND list, int row) {
    LPARAM data = 0;
    if (list == app.hServerList) {
        int32_t index = RowServerIndex(app, row);
        return index >= 0 && ServerHasBuddy(app, ShownServer(app, index));
    }
    if (list == app.hPlayerList) {
        return ReadListItemData(list, row, data) && data != 0 &&
               IsBuddy(app, AsWide(reinterpret_cast<PlayerRecord*>(data)->name));
    }
    return false;
}

} // namespace

void ParseBuddyList(AppState& app) {
    app.buddyCount = 0;
    if (app.config.buddyText.empty()) {
        return; // the old entries stay allocated, none of them counted
    }
    const char16_t* text = app.config.buddyText.c_str();
    // Room for exactly the names the text holds, however its lines end.
    size_t names = CountBuddyNames(text);
    if (names > INT32_MAX) {
        names = INT32_MAX;
    }
    if (app.buddies) {
        HeapFree(GetProcessHeap(), 0, app.buddies);
    }
    SIZE_T bytes = (names > 0 ? names : 1) * sizeof(BuddyName);
    app.buddies = static_cast<BuddyName*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, bytes));
    if (!app.buddies) {
        return;
    }
    app.buddyCount = static_cast<int32_t>(SplitBuddyNames(text, app.buddies, names));
}

int IsBuddy(AppState& app, const wchar_t* name) {
    return MatchesBuddy(AsU16(name), app.buddies, BuddyCount(app)) ? 1 : 0;
}

void RepaintBuddyRows(AppState& app) {
    for (HWND list : {app.hServerList, app.hPlayerList}) {
        LPARAM count = SendMessageW(list, LVM_GETITEMCOUNT, 0, 0);
        SendMessageW(list, LVM_REDRAWITEMS, 0, count);
        UpdateWindow(list);
    }
}

int ServerHasBuddy(AppState& app, const ServerRecord& record) {
    return HasBuddyAmong(record, app.buddies, BuddyCount(app)) ? 1 : 0;
}

LRESULT OnListCustomDraw(AppState& app, HWND list, NMLVCUSTOMDRAW* draw) {
    if (draw->nmcd.hdr.code != NM_CUSTOMDRAW) {
        return 0;
    }
    switch (draw->nmcd.dwDrawStage) {
    case CDDS_PREPAINT:
        return CDRF_NOTIFYITEMDRAW;
    case CDDS_ITEMPREPAINT:
    case CDDS_SUBITEM_PREPAINT:
        if (IsHighlightedRow(app, list, static_cast<int>(draw->nmcd.dwItemSpec))) {
            draw->clrTextBk = BUDDY_HIGHLIGHT;
        }
        return CDRF_NOTIFYPOSTPAINT;
    case CDDS_ITEMPOSTPAINT:
        return CDRF_DODEFAULT;
    }
    return CDRF_NOTIFYSUBITEMDRAW | CDRF_NOTIFYPOSTPAINT;
}
