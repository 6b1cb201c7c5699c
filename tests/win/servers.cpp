#include "servers.h"

#include <commctrl.h>
#include <mmsystem.h>

#include "app/app_state.h"
#include "net/reply_handover.h"
#include "net/reply_parser.h"
#include "net/server_table.h"
#include "resource.h"

std::string ReplyOf(const TestServer& server) {
    std::string reply = "\xff\xff\xff\xffprint\n\\hostname\\" + server.hostname + "\\mapname\\" + server.mapname +
                        "\\gamename\\" + server.gamename + "\\version\\" + server.version + "\\maxclients\\" +
                        std::to_string(server.maxClients) + "\\anticheat\\" + std::to_string(server.anticheat) + "\n";
    for (const TestPlayer& player : server.players) {
        reply += std::to_string(player.score) + " " + std::to_string(player.ping) + " \"" + player.name + "\"\n";
    }
    return reply;
}

void LoadServerTable(int count) {
    std::vector<unsigned char> body;
    for (int i = 0; i < count; ++i) {
        body.insert(body.end(), {10, 0, static_cast<unsigned char>((i + 1) / 256),
                                 static_cast<unsigned char>((i + 1) % 256), 27910 >> 8, 27910 & 0xFF});
    }
    LoadServerTable(body);
}

void LoadServerTable(const std::vector<unsigned char>& body) {
    RebuildServerTable(body.data(), static_cast<uint32_t>(body.size()));
}

void FeedReply(int index, const std::string& reply, DWORD pingMs, bool deliver) {
    std::vector<char> datagram(reply.begin(), reply.end());
    datagram.push_back(0);
    EnterCriticalSection(&app.tableLock);
    ServerRecord* record = &app.servers[index];
    DWORD now = timeGetTime();
    record->queryTime = now - pingMs;
    ParseStatusReply(datagram.data(), static_cast<int>(reply.size()), now, record);
    LeaveCriticalSection(&app.tableLock);
    if (deliver) {
        DeliverRepliesNow();
    }
}

void FeedServer(int index, const TestServer& server, DWORD pingMs, bool deliver) {
    FeedReply(index, ReplyOf(server), pingMs, deliver);
}

void RightClickList(HWND list, POINT point) {
    LPARAM position = MAKELPARAM(point.x, point.y);
    // The list waits for the button to come up, to tell a click from a drag; it finds this one already queued.
    PostMessageW(list, WM_RBUTTONUP, 0, position);
    SendMessageW(list, WM_RBUTTONDOWN, MK_RBUTTON, position);
}

int ListRowCount(HWND list) {
    return static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
}

int ServerRow(int record) {
    for (int row = 0; row < ListRowCount(app.hServerList); ++row) {
        if (ListItemData(app.hServerList, row) == record) {
            return row;
        }
    }
    return -1;
}

std::wstring ListItemText(HWND list, int item, int subItem) {
    wchar_t text[512] = L"";
    LVITEMW request{};
    request.iSubItem = subItem;
    request.pszText = text;
    request.cchTextMax = ARRAYSIZE(text);
    SendMessageW(list, LVM_GETITEMTEXTW, item, reinterpret_cast<LPARAM>(&request));
    return text;
}

int ListItemImage(HWND list, int item, int subItem) {
    LVITEMW request{};
    request.mask = LVIF_IMAGE;
    request.iItem = item;
    request.iSubItem = subItem;
    request.iImage = -1;
    SendMessageW(list, LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&request));
    return request.iImage;
}

LPARAM ListItemData(HWND list, int item) {
    LVITEMW request{};
    request.mask = LVIF_PARAM;
    request.iItem = item;
    SendMessageW(list, LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&request));
    return request.lParam;
}

std::vector<std::wstring> ListColumn(HWND list, int subItem) {
    std::vector<std::wstring> texts;
    for (int i = 0, rows = ListRowCount(list); i < rows; ++i) {
        texts.push_back(ListItemText(list, i, subItem));
    }
    return texts;
}

void SetCheckBox(int id, bool checked) {
    HWND box = GetDlgItem(app.hMainDlg, id);
    bool isChecked = SendMessageW(box, BM_GETCHECK, 0, 0) == BST_CHECKED;
    if (isChecked != checked) {
        SendMessageW(box, BM_CLICK, 0, 0);
    }
}

void ClickListColumn(HWND list, int column) {
    NMLISTVIEW click{};
    click.hdr.hwndFrom = list;
    click.hdr.idFrom = GetDlgCtrlID(list);
    click.hdr.code = LVN_COLUMNCLICK;
    click.iItem = -1;
    click.iSubItem = column;
    SendMessageW(app.hMainDlg, WM_NOTIFY, click.hdr.idFrom, reinterpret_cast<LPARAM>(&click));
}

void ClickServerColumn(int column) {
    ClickListColumn(app.hServerList, column);
}
