#include "windows/app/server_menu.h"

#include "windows/state/app_state.h"

#include "core/protocol/server_record.h"
#include "core/settings/favourites.h"
#include "core/settings/recent_servers.h"
#include "windows/dialogs/server_info_dialog.h"
#include "windows/launch/game_launcher.h"
#include "windows/platform/recent_store.h"
#include "windows/platform/wide.h"
#include "windows/views/row_marks.h"
#include "windows/views/server_list.h"

namespace {

// The address as Unicode text; the clipboard owns the memory once it has taken it.
void CopyToClipboard(AppState& app, const wchar_t* address) {
    if (!OpenClipboard(app.hMainDlg)) {
        return;
    }
    EmptyClipboard();
    size_t bytes = (wcslen(address) + 1) * sizeof(wchar_t);
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes);
    if (memory) {
        void* text = GlobalLock(memory);
        if (text) {
            CopyMemory(text, address, bytes);
            GlobalUnlock(memory);
            if (!SetClipboardData(CF_UNICODETEXT, memory)) {
                GlobalFree(memory);
            }
        } else {
            GlobalFree(memory);
        }
    }
    CloseClipboard();
}

} // namespace

bool ShowServerMenu(AppState& app, const NMITEMACTIVATE& activation) {
    // The menu lets messages through: replies may re-sort the rows and a new run may replace the table while it is
    // open, so the server is the one under the click, read now; its info is copied whole for the same reason.
    ServerInfo info;
    const ServerRecord* record = RowServerRecord(app, activation.iItem);
    if (!record || !ReadRowServerInfo(app, activation.iItem, info)) {
        return false;
    }
    uint32_t addr = record->addr;
    uint16_t port = record->port;
    bool favourite = IsFavourite(app.favourites, addr, port);
    const wchar_t* address = AsWide(info.address.c_str());
    HMENU menu = CreatePopupMenu();
    if (!menu) {
        return false;
    }
    AppendMenuW(menu, MF_STRING, SERVER_MENU_CONNECT, L"Connect");
    AppendMenuW(menu, MF_STRING, SERVER_MENU_COPY_ADDRESS, L"Copy Server IP");
    AppendMenuW(menu, MF_STRING, SERVER_MENU_SERVER_INFO, L"Server Info...");
    AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    AppendMenuW(menu, MF_STRING | (favourite ? MF_GRAYED : 0), SERVER_MENU_ADD_FAVOURITE, L"Add to Favourites");
    AppendMenuW(menu, MF_STRING | (favourite ? 0 : MF_GRAYED), SERVER_MENU_REMOVE_FAVOURITE, L"Remove from Favourites");
    if (FindRecent(app.recentServers, addr, port)) {
        AppendMenuW(menu, MF_STRING, SERVER_MENU_REMOVE_RECENT, L"Remove from History");
    }
    POINT point = activation.ptAction;
    ClientToScreen(app.hServerList, &point);
    UINT command = static_cast<UINT>(
        TrackPopupMenu(menu, TPM_RETURNCMD | TPM_RIGHTBUTTON, point.x, point.y, 0, app.hMainDlg, nullptr));
    DestroyMenu(menu);
    if (command == SERVER_MENU_CONNECT) {
        JoinServer(app, address);
    } else if (command == SERVER_MENU_COPY_ADDRESS) {
        CopyToClipboard(app, address);
    } else if (command == SERVER_MENU_SERVER_INFO) {
        RunServerInfoDialog(app.hMainDlg, info);
    } else if (command == SERVER_MENU_ADD_FAVOURITE || command == SERVER_MENU_REMOVE_FAVOURITE) {
        bool changed = command == SERVER_MENU_ADD_FAVOURITE ? AddFavourite(&app.favourites, addr, port)
                                                            : RemoveFavourite(&app.favourites, addr, port);
        if (changed) {
            MarkFavouriteRows(app);
        }
        return changed;
    } else if (command == SERVER_MENU_REMOVE_RECENT && ForgetRecent(&app.recentServers, addr, port)) {
        SaveRecentServers(app.recentServers); // on its own, as a join does
        MarkFavouriteRows(app);
    }
    return false;
}
