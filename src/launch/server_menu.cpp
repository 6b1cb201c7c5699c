#include "launch/server_menu.h"

#include "app/app_state.h"

#include "base/wide.h"
#include "launch/game_launcher.h"
#include "launch/server_info_dialog.h"

namespace {

// The address as Unicode text; the clipboard owns the memory once it has taken it.
void CopyToClipboard(const wchar_t* address) {
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

void ShowServerMenu(const NMITEMACTIVATE& activation) {
    // The menu lets messages through: replies may re-sort the rows and a new run may replace the table while it is
    // open, so the server is the one under the click, read now; its info is copied whole for the same reason.
    ServerInfo info;
    if (activation.iItem == -1 || !ReadRowServerInfo(activation.iItem, info)) {
        return;
    }
    const wchar_t* address = AsWide(info.address.c_str());
    HMENU menu = CreatePopupMenu();
    if (!menu) {
        return;
    }
    AppendMenuW(menu, MF_STRING, SERVER_MENU_CONNECT, L"Connect");
    AppendMenuW(menu, MF_STRING, SERVER_MENU_COPY_ADDRESS, L"Copy Server IP");
    AppendMenuW(menu, MF_STRING, SERVER_MENU_SERVER_INFO, L"Server Info...");
    POINT point = activation.ptAction;
    ClientToScreen(app.hServerList, &point);
    UINT command = static_cast<UINT>(
        TrackPopupMenu(menu, TPM_RETURNCMD | TPM_RIGHTBUTTON, point.x, point.y, 0, app.hMainDlg, nullptr));
    DestroyMenu(menu);
    if (command == SERVER_MENU_CONNECT) {
        JoinServer(address);
    } else if (command == SERVER_MENU_COPY_ADDRESS) {
        CopyToClipboard(address);
    } else if (command == SERVER_MENU_SERVER_INFO) {
        RunServerInfoDialog(app.hMainDlg, info);
    }
}
