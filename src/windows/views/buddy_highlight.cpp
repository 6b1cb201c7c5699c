#include "windows/views/buddy_highlight.h"

namespace {

constexpr DWORD CDDS_SUBITEM_PREPAINT = CDDS_ITEMPREPAINT | CDDS_SUBITEM;

} // namespace

void ParseBuddyList(BuddyList& buddies, const std::u16string& text) {
    // Room for exactly the names the text holds, however its lines end.
    buddies.names.assign(text.empty() ? 0 : CountBuddyNames(text.c_str()), BuddyName{});
    buddies.names.resize(SplitBuddyNames(text.c_str(), buddies.names.data(), buddies.names.size()));
}

bool IsBuddy(const BuddyList& buddies, const char16_t* name) {
    return MatchesBuddy(name, buddies.names.data(), buddies.names.size());
}

bool ServerHasBuddy(const BuddyList& buddies, const ServerRecord& record) {
    return HasBuddyAmong(record, buddies.names.data(), buddies.names.size());
}

void RepaintBuddyRows(HWND list) {
    LPARAM count = SendMessageW(list, LVM_GETITEMCOUNT, 0, 0);
    SendMessageW(list, LVM_REDRAWITEMS, 0, count);
    UpdateWindow(list);
}

LRESULT OnListCustomDraw(NMLVCUSTOMDRAW* draw, const std::function<bool(int row)>& highlighted) {
    if (draw->nmcd.hdr.code != NM_CUSTOMDRAW) {
        return 0;
    }
    switch (draw->nmcd.dwDrawStage) {
    case CDDS_PREPAINT:
        return CDRF_NOTIFYITEMDRAW;
    case CDDS_ITEMPREPAINT:
    case CDDS_SUBITEM_PREPAINT:
        if (highlighted(static_cast<int>(draw->nmcd.dwItemSpec))) {
            draw->clrTextBk = BUDDY_HIGHLIGHT;
        }
        return CDRF_NOTIFYPOSTPAINT;
    case CDDS_ITEMPOSTPAINT:
        return CDRF_DODEFAULT;
    }
    return CDRF_NOTIFYSUBITEMDRAW | CDRF_NOTIFYPOSTPAINT;
}
