#include "windows/app/server_menu.h"

#include "core/protocol/server_record.h"
#include "core/settings/favourites.h"
#include "core/settings/recent_servers.h"
#include "core/settings/recent_store.h"
#include "platform/win32/wide.h"
#include "windows/dialogs/server_info_dialog.h"
#include "windows/support/clipboard.h"

ServerMenuChange ShowServerMenu(HWND list, POINT clicked, const ServerRecord& record, const ShownTable& shown,
                                JoinHost join, InfoHistory history, bool waitingHere) {
    // The menu lets messages through: replies may re-sort the rows and a new run may replace the table while it is
    // open, so the server is read now, its info copied whole.
    ServerMenuChange change;
    ServerInfo info = ServerInfoOf(record, shown, join.lists);
    info.history = std::move(history);
    uint32_t addr = record.addr;
    uint16_t port = record.port;
    ServerLists& lists = join.lists;
    bool favourite = IsFavourite(lists.favourites, addr, port);
    bool watched = IsFavourite(lists.watched, addr, port);
    bool full = record.maxClients > 0 && record.playerCount >= record.maxClients;
    HMENU menu = CreatePopupMenu();
    if (!menu) {
        return change;
    }
    AppendMenuW(menu, MF_STRING, SERVER_MENU_CONNECT, L"Connect");
    AppendMenuW(menu, MF_STRING, SERVER_MENU_COPY_ADDRESS, L"Copy Server IP");
    AppendMenuW(menu, MF_STRING, SERVER_MENU_SERVER_INFO, L"Server Info...");
    AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    AppendMenuW(menu, MF_STRING | (favourite ? MF_GRAYED : 0), SERVER_MENU_ADD_FAVOURITE, L"Add to Favourites");
    AppendMenuW(menu, MF_STRING | (favourite ? 0 : MF_GRAYED), SERVER_MENU_REMOVE_FAVOURITE, L"Remove from Favourites");
    if (FindRecent(lists.recent, addr, port)) {
        AppendMenuW(menu, MF_STRING, SERVER_MENU_REMOVE_RECENT, L"Remove from History");
    }
    AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    AppendMenuW(menu, MF_STRING | (watched ? MF_CHECKED : 0), SERVER_MENU_WATCH, L"Watch This Server");
    if (full || waitingHere) {
        AppendMenuW(menu, MF_STRING | (waitingHere ? MF_CHECKED : 0), SERVER_MENU_JOIN_WHEN_FREE,
                    L"Join When a Slot Frees");
    }
    ClientToScreen(list, &clicked);
    UINT command = static_cast<UINT>(
        TrackPopupMenu(menu, TPM_RETURNCMD | TPM_RIGHTBUTTON, clicked.x, clicked.y, 0, join.dialog, nullptr));
    DestroyMenu(menu);
    const wchar_t* address = AsWide(info.address.c_str());
    if (command == SERVER_MENU_CONNECT) {
        JoinServer(join, address);
    } else if (command == SERVER_MENU_COPY_ADDRESS) {
        CopyToClipboard(join.dialog, address);
    } else if (command == SERVER_MENU_SERVER_INFO) {
        RunServerInfoDialog(join.dialog, info);
    } else if (command == SERVER_MENU_ADD_FAVOURITE || command == SERVER_MENU_REMOVE_FAVOURITE) {
        change.favourites = command == SERVER_MENU_ADD_FAVOURITE ? AddFavourite(&lists.favourites, addr, port)
                                                                 : RemoveFavourite(&lists.favourites, addr, port);
    } else if (command == SERVER_MENU_WATCH) {
        change.watch = true;
    } else if (command == SERVER_MENU_JOIN_WHEN_FREE) {
        change.slotWait = true;
    } else if (command == SERVER_MENU_REMOVE_RECENT && ForgetRecent(&lists.recent, addr, port)) {
        SaveRecentServers(lists.recent); // on its own, as a join does
        change.history = true;
    }
    return change;
}
