#include "servers.h"

#include <commctrl.h>
#include <mmsystem.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <set>
#include <thread>

#include "core/display/mod_filter_rule.h"
#include "core/display/server_search.h"
#include "core/protocol/list_entry.h"
#include "core/protocol/status_reply.h"
#include "core/run/run_texts.h"
#include "core/run/server_table.h"
#include "core/text/ansi_decoder.h"
#include "harness.h"
#include "resource.h"
#include "simulator_client.h"
#include "windows/app/main_window_views.h"
#include "windows/app/watching.h"
#include "windows/state/finding.h"
#include "windows/views/server_list.h"
#include "windows/views/status_bar.h"

namespace {

std::vector<int32_t> fedReplies; // fed and not yet delivered

} // namespace

std::string ReplyOf(const TestServer& server) {
    std::string reply = "\xff\xff\xff\xffprint\n\\hostname\\" + server.hostname + "\\mapname\\" + server.mapname +
                        "\\gamename\\" + server.gamename + "\\version\\" + server.version + "\\maxclients\\" +
                        std::to_string(server.maxClients) + "\\anticheat\\" + std::to_string(server.anticheat) + "\n";
    for (const TestPlayer& player : server.players) {
        reply += std::to_string(player.score) + " " + std::to_string(player.ping) + " \"" + player.name + "\"\n";
    }
    return reply;
}

std::string ScenarioSection(int port, const std::string& keys) {
    return "[server]\naddress = 127.0.0.1:" + std::to_string(port) + "\nhostname = Host " + std::to_string(port) +
           "\n" + keys;
}

std::string ScenarioServer(int port, const std::string& keys) {
    return ScenarioSection(port, "maxclients = 8\nplayer = 1 30 \"p\"\n" + keys);
}

std::string ScenarioServers(int count, const std::string& keys) {
    std::string scenario;
    for (int i = 0; i < count; ++i) {
        scenario += ScenarioServer(27910 + i, keys);
    }
    return scenario;
}

size_t QueriesTo(int port) {
    std::vector<std::string> queries = SimLogOf("query");
    return static_cast<size_t>(std::count_if(queries.begin(), queries.end(), [port](const std::string& line) {
        return SimLogField(line, "server") == "127.0.0.1:" + std::to_string(port);
    }));
}

void LoadServerTable(int count) {
    std::vector<unsigned char> body;
    for (int i = 0; i < count; ++i) {
        body.insert(body.end(), {10, 0, static_cast<unsigned char>((i + 1) / 256),
                                 static_cast<unsigned char>((i + 1) % 256), 27910 >> 8, 27910 & 0xFF});
    }
    LoadServerTable(body);
}

std::shared_ptr<ServerTable> TableOf(const std::vector<unsigned char>& body) {
    auto table = std::make_shared<ServerTable>();
    std::set<uint64_t> seen;
    for (size_t offset = 0; offset + LIST_ENTRY_SIZE <= body.size(); offset += LIST_ENTRY_SIZE) {
        ListEntry entry = ReadListEntry(&body[offset]);
        if (seen.insert(ServerPairKey(entry.addr, entry.port)).second) {
            table->Append(entry.addr, entry.port, MasterSource(0));
        }
    }
    return table;
}

void LoadServerTable(const std::vector<unsigned char>& body) {
    fedReplies.clear();
    ShowServerTable(App(), TableOf(body));
}

void FeedReply(int index, const std::string& reply, DWORD pingMs, bool deliver) {
    std::vector<char> datagram(reply.begin(), reply.end());
    datagram.push_back(0);
    ServerRecord& record = App().session.shown.At(index);
    record.answered = 1;
    ParseStatusText(datagram.data(), static_cast<int>(reply.size()), DecodeAnsi, record);
    record.queryTime = timeGetTime() - pingMs;
    record.ping = pingMs;
    fedReplies.push_back(index);
    if (deliver) {
        DeliverFedReplies();
    }
}

void DeliverFedReplies() {
    ListDeliveredReplies(App().servers, ListInputs(App()), fedReplies);
    // As a run's report passes them on: what the window makes of every accepted reply.
    TakeServerAnswers(App(), AnsweredRecords(*App().session.shown.table, fedReplies), AnswerFrom::Run);
    fedReplies.clear();
    RepaintServerListWhenDue(App().servers);
    ShowCounts(App());
}

std::wstring RunStatusOf(int index) {
    std::u16string text = FoundText(App().session.shown.At(index));
    return std::wstring(text.begin(), text.end());
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
    for (int row = 0; row < ListRowCount(App().servers.list); ++row) {
        if (ListItemData(App().servers.list, row) == record) {
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
    if (list == App().servers.list) {
        return RowServerIndex(App().servers, App().session.shown, item); // the list holds no data of its own
    }
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

namespace {

std::wstring CountText(int count, const wchar_t* noun) {
    return std::to_wstring(count) + L" " + noun + (count == 1 ? L"" : L"s");
}

} // namespace

bool AnswersFromAnotherThread(HWND window) {
    std::atomic<int> answered{-1};
    std::thread asker([&] {
        DWORD_PTR result = 0;
        answered = SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_NORMAL, 3000, &result) != 0;
    });
    PumpUntil([&] { return answered >= 0; }, 5000);
    asker.join();
    return answered == 1;
}

// What every run must end with, however hostile its input: the status text, no run left going, a window that
// answers, a server list that agrees with the table, and status bar counts and a closing line that agree with it.
void ExpectSoundEnd(const std::wstring& status) {
    EXPECT_EQ(StatusPartText(0), status);
    EXPECT_FALSE(App().session.run.running);
    ASSERT_TRUE(IsWindow(App().hMainDlg));
    EXPECT_TRUE(AnswersFromAnotherThread(App().hMainDlg));
    EXPECT_EQ(ListDisagreesWithTable(), "");
    EXPECT_EQ(StatusPartText(2), App().finding.Narrows() ? std::to_wstring(App().servers.shownServers) + L" of " +
                                                               CountText(App().servers.listedServers, L"Server")
                                                         : CountText(App().servers.shownServers, L"Server"));
    EXPECT_EQ(StatusPartText(1), CountText(App().servers.shownPlayers, L"Player"));

    int answered = 0;
    for (int i = 0; i < App().session.shown.count; ++i) {
        answered += App().session.shown.At(i).answered != 0;
    }
    int responded = -1, total = -1;
    if (std::swscanf(status.c_str(), L"%*l[A-Za-z]. %d of %d servers responded.", &responded, &total) == 2) {
        EXPECT_EQ(responded, answered);
        EXPECT_EQ(total, App().session.shown.count);
    }
}

std::string ListDisagreesWithTable() {
    auto listable = [](const ServerRecord& record) {
        return record.delivered && (App().servers.showFull || record.playerCount < record.maxClients) &&
               (App().servers.showEmpty || record.playerCount != 0) &&
               ShowsUnderModFilter(App().session.shown.modDir.c_str(), record.sources,
                                   App().session.shown.WebMasterSources(), record.gamename);
    };
    auto shown = [&](const ServerRecord& record) {
        return listable(record) && ShowsUnderChoice(App().finding, App().session.lists, record) &&
               ServerMatches(record, App().finding.search);
    };
    std::set<LPARAM> listed;
    int players = 0;
    int rows = ListRowCount(App().servers.list);
    for (int row = 0; row < rows; ++row) {
        LPARAM index = ListItemData(App().servers.list, row);
        if (index < 0 || index >= App().session.shown.count || !shown(App().session.shown.At(index)) ||
            !listed.insert(index).second) {
            return "row " + std::to_string(row) + " names record " + std::to_string(index) +
                   ", which is outside the table, not to be listed, or listed twice";
        }
        players += App().session.shown.At(index).playerCount;
    }
    int shouldList = 0, shouldCount = 0;
    for (int i = 0; i < App().session.shown.count; ++i) {
        shouldList += shown(App().session.shown.At(i));
        shouldCount += listable(App().session.shown.At(i));
    }
    if (App().servers.listedServers != shouldCount) {
        return "counted " + std::to_string(App().servers.listedServers) + " servers listed before the search, not " +
               std::to_string(shouldCount);
    }
    if (rows != shouldList || App().servers.shownServers != rows || App().servers.shownPlayers != players) {
        return std::to_string(rows) + " rows with " + std::to_string(players) + " players for " +
               std::to_string(shouldList) + " servers to list; counted " + std::to_string(App().servers.shownServers) +
               " rows and " + std::to_string(App().servers.shownPlayers) + " players";
    }
    return "";
}

void SetCheckBox(int id, bool checked) {
    HWND box = GetDlgItem(App().hMainDlg, id);
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
    SendMessageW(App().hMainDlg, WM_NOTIFY, click.hdr.idFrom, reinterpret_cast<LPARAM>(&click));
}

void ClickServerColumn(int column) {
    ClickListColumn(App().servers.list, column);
}

SOCKET ListenOnLoopback(uint16_t* port) {
    SOCKET listener = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int size = sizeof address;
    if (listener == INVALID_SOCKET || bind(listener, reinterpret_cast<sockaddr*>(&address), size) != 0 ||
        listen(listener, 8) != 0 || getsockname(listener, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
        closesocket(listener);
        return INVALID_SOCKET;
    }
    *port = ntohs(address.sin_port);
    return listener;
}
