// The server list as a user sees it: columns, rows made from replies, icons, sorting, filters and widths.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <numeric>
#include <random>
#include <string>
#include <vector>

#include "core/run/server_table.h"
#include "core/display/server_columns.h"
#include "harness.h"
#include "windows/app/main_window_views.h"
#include "picture.h"
#include "resource.h"
#include "servers.h"
#include "windows/state/app_messages.h"
#include "windows/app/main_window.h"
#include "core/settings/favourites.h"
#include "core/settings/recent_servers.h"
#include "windows/dialogs/server_info_dialog.h"
#include "windows/views/server_list.h"
#include "windows/views/show_choice.h"

namespace {

// A list view that sorts its own rows with the records' order, to hold the server list's against.
struct ReferenceOrder {
    const ShownTable* shown;
    int32_t sortValue;
};

int CALLBACK CompareByValue(LPARAM first, LPARAM second, LPARAM order) {
    const auto& by = *reinterpret_cast<const ReferenceOrder*>(order);
    return CompareServerRecords(by.shown->At(first), by.shown->At(second), by.sortValue);
}

using Texts = std::vector<std::wstring>;

constexpr int HOST = 0, ADDRESS = 1, MAP = 2, PLAYERS = 3, AC = 4, MOD = 5, PING = 6;
constexpr int SORT_REVERSED_BIT = 0x4000;

class ServerListTest : public OpenWindowTest {
protected:
    void SetUp() override {
        OpenWindowTest::SetUp();
        SetCheckBox(IDC_SHOW_FULL, true);
        SetCheckBox(IDC_SHOW_EMPTY, true);
        ASSERT_NE(App().servers.list, nullptr);
        App().session.config.goodPing = 100;
        App().session.config.mediumPing = 200;
    }

    static TestServer Server(const std::string& host, int players, int maxClients = 8, const std::string& map = "q2dm1",
                             const std::string& mod = "baseq2", int anticheat = 0) {
        TestServer server;
        server.hostname = host;
        server.maxClients = maxClients;
        server.mapname = map;
        server.gamename = mod;
        server.anticheat = anticheat;
        for (int i = 0; i < players; ++i) {
            server.players.push_back({i, 40, "p" + std::to_string(i)});
        }
        return server;
    }

    // Servers whose every column sorts differently from the others.
    void FeedSortFixture() {
        LoadServerTable(4);
        FeedServer(2, Server("bravo", 2, 8, "q2dm3", "ctf", 2), 120);
        FeedServer(0, Server("Alpha", 7, 8, "Q2DM1", "baseq2", 0), 300);
        FeedServer(3, Server("charlie", 0, 8, "q2dm2", "Action", 1), 20);
    }

    static Texts Hosts() { return ListColumn(App().servers.list, HOST); }
};

TEST_F(ServerListTest, ListsHaveTheirColumnsStyleAndImages) {
    EXPECT_EQ(SendMessageW(App().servers.list, LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0), 0x22);
    EXPECT_EQ(SendMessageW(App().players.list, LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0), 0x22);

    auto titles = [](HWND list, int count) {
        Texts result;
        for (int i = 0; i < count; ++i) {
            wchar_t title[64] = L"";
            LVCOLUMNW column{};
            column.mask = LVCF_TEXT;
            column.pszText = title;
            column.cchTextMax = ARRAYSIZE(title);
            EXPECT_TRUE(SendMessageW(list, LVM_GETCOLUMNW, i, reinterpret_cast<LPARAM>(&column)));
            result.push_back(title);
        }
        return result;
    };
    EXPECT_EQ(titles(App().servers.list, 7),
              (Texts{L"Host Name", L"IP Address", L"Map", L"Players", L"AC", L"Mod", L"Ping"}));
    EXPECT_EQ(titles(App().players.list, 3), (Texts{L"Name", L"Score", L"Ping"}));
    HWND header = reinterpret_cast<HWND>(SendMessageW(App().servers.list, LVM_GETHEADER, 0, 0));
    EXPECT_EQ(SendMessageW(header, HDM_GETITEMCOUNT, 0, 0), 7);

    // The creation widths come from each list's own client width less 16.
    RECT client;
    GetClientRect(App().servers.list, &client);
    float span = static_cast<float>(client.right - 16);
    const int percents[] = {30, 20, 10, 10, 5, 15, 10};
    for (int i = 0; i < 7; ++i) {
        EXPECT_EQ(SendMessageW(App().servers.list, LVM_GETCOLUMNWIDTH, i, 0),
                  static_cast<int>(percents[i] / 100.0f * span))
            << i;
    }

    auto images = [](HWND list) {
        return reinterpret_cast<HIMAGELIST>(SendMessageW(list, LVM_GETIMAGELIST, LVSIL_SMALL, 0));
    };
    int cx = 0, cy = 0;
    ASSERT_NE(images(App().servers.list), nullptr);
    EXPECT_EQ(ImageList_GetImageCount(images(App().servers.list)), 23)
        << "eight icons, the favourites' star, the history's clock, both together, the LAN's mark alone and with "
           "each of them, and the watched eye alone and over each of those seven";
    ImageList_GetIconSize(images(App().servers.list), &cx, &cy);
    EXPECT_EQ(cx, 16);
    EXPECT_EQ(cy, 14);
    // The eye over the star is made from both: the eye's pupil and the star's gold, where the star alone is clear.
    auto pixel = [&](int image, int x, int y) {
        HDC screen = GetDC(nullptr);
        HDC dc = CreateCompatibleDC(screen);
        HBITMAP bitmap = CreateCompatibleBitmap(screen, cx, cy);
        HGDIOBJ old = SelectObject(dc, bitmap);
        RECT all{0, 0, cx, cy};
        FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
        ImageList_Draw(images(App().servers.list), image, dc, 0, 0, ILD_TRANSPARENT);
        COLORREF colour = GetPixel(dc, x, y);
        SelectObject(dc, old);
        DeleteObject(bitmap);
        DeleteDC(dc);
        ReleaseDC(nullptr, screen);
        return colour;
    };
    const int WATCHED_OVER_FAVOURITE = 16;
    EXPECT_EQ(pixel(IMAGE_FAVOURITE, 12, 2), RGB(255, 255, 255));
    EXPECT_EQ(pixel(IMAGE_WATCHED, 12, 2), RGB(0x1E, 0x2A, 0x38));
    EXPECT_EQ(pixel(WATCHED_OVER_FAVOURITE, 12, 2), RGB(0x1E, 0x2A, 0x38));
    EXPECT_NE(pixel(IMAGE_FAVOURITE, 10, 8), RGB(255, 255, 255));
    EXPECT_EQ(pixel(WATCHED_OVER_FAVOURITE, 10, 8), pixel(IMAGE_FAVOURITE, 10, 8));
    EXPECT_EQ(pixel(IMAGE_WATCHED, 10, 8), RGB(255, 255, 255));
    ASSERT_NE(images(App().players.list), nullptr);
    EXPECT_EQ(ImageList_GetImageCount(images(App().players.list)), 1);

    EXPECT_EQ(App().servers.sortColumn, PING);
    EXPECT_NE(App().status.bar, nullptr);
}

TEST_F(ServerListTest, AReplyBecomesARowWithItsCellsIconAndStatus) {
    LoadServerTable(3);
    TestServer server = Server("Real Test", 3, 16, "test", "baseq2", 2);
    server.version = "8.71pre x86_64 Dec  7 2026 Linux";
    FeedServer(1, server, 42);

    ASSERT_EQ(ListRowCount(App().servers.list), 1);
    EXPECT_EQ(ListItemData(App().servers.list, 0), 1);
    EXPECT_EQ(ListItemText(App().servers.list, 0, HOST), L"Real Test");
    EXPECT_EQ(ListItemText(App().servers.list, 0, ADDRESS), L"10.0.0.2:27910");
    EXPECT_EQ(ListItemText(App().servers.list, 0, MAP), L"test");
    EXPECT_EQ(ListItemText(App().servers.list, 0, PLAYERS), L"3 / 16");
    EXPECT_EQ(ListItemText(App().servers.list, 0, AC), L"2");
    EXPECT_EQ(ListItemText(App().servers.list, 0, MOD), L"baseq2");
    EXPECT_EQ(ListItemText(App().servers.list, 0, PING), std::to_wstring(App().session.shown.At(1).ping));
    EXPECT_GE(App().session.shown.At(1).ping, 42u);
    EXPECT_LT(App().session.shown.At(1).ping, 60u);
    EXPECT_EQ(ListItemImage(App().servers.list, 0, HOST), 4); // the penguin

    EXPECT_EQ(App().session.shown.At(1).answered, 1);
    EXPECT_EQ(RunStatusOf(1), L"Found 3 players on 'Real Test'");
    EXPECT_EQ(StatusPartText(1), L"3 Players");
    EXPECT_EQ(StatusPartText(2), L"1 Server");

    // Written whether or not the server is listed; singular only for one player.
    SetCheckBox(IDC_SHOW_FULL, false);
    FeedServer(0, Server("Solo", 1, 1));
    EXPECT_EQ(RunStatusOf(0), L"Found 1 player on 'Solo'");
    EXPECT_EQ(ListRowCount(App().servers.list), 1);
    FeedServer(2, Server("Nobody", 0));
    EXPECT_EQ(RunStatusOf(2), L"Found 0 players on 'Nobody'");
    EXPECT_EQ(StatusPartText(1), L"3 Players");
    EXPECT_EQ(StatusPartText(2), L"2 Servers");
}

TEST_F(ServerListTest, RepliesAreReadInTheAnsiCodePage) {
    if (GetACP() != 1252) {
        GTEST_SKIP() << "the system code page is " << GetACP() << ", not 1252";
    }
    LoadServerTable(1);
    FeedServer(0, Server("Caf\xe9 \x80 \xab\xbb", 0));
    EXPECT_EQ(ListItemText(App().servers.list, 0, HOST), L"Caf\u00e9 \u20ac \u00ab\u00bb");
    EXPECT_EQ(RunStatusOf(0), L"Found 0 players on 'Caf\u00e9 \u20ac \u00ab\u00bb'");
}

TEST_F(ServerListTest, PingDotFollowsTheThresholdsAtEveryRequest) {
    LoadServerTable(1);
    FeedServer(0, Server("x", 1));
    struct Case {
        uint32_t ping;
        int image;
    } cases[] = {{0, 1}, {100, 1}, {101, 2}, {200, 2}, {201, 3}};
    for (const Case& c : cases) {
        App().session.shown.At(0).ping = c.ping;
        EXPECT_EQ(ListItemImage(App().servers.list, 0, PING), c.image) << c.ping;
        EXPECT_EQ(ListItemText(App().servers.list, 0, PING), std::to_wstring(c.ping));
    }
    App().session.config.mediumPing = 50; // below good: everything above good is red
    App().session.shown.At(0).ping = 101;
    EXPECT_EQ(ListItemImage(App().servers.list, 0, PING), 3);
    // Other columns keep the row's own icon.
    EXPECT_EQ(ListItemImage(App().servers.list, 0, HOST), 5);
}

TEST_F(ServerListTest, HeaderClicksSortAndReverse) {
    FeedSortFixture();
    EXPECT_EQ(Hosts(), (Texts{L"charlie", L"bravo", L"Alpha"})); // by ping as replies arrive

    ClickServerColumn(HOST);
    EXPECT_EQ(Hosts(), (Texts{L"Alpha", L"bravo", L"charlie"}));
    EXPECT_EQ(App().servers.sortColumn, HOST);
    ClickServerColumn(HOST);
    EXPECT_EQ(Hosts(), (Texts{L"charlie", L"bravo", L"Alpha"}));
    EXPECT_EQ(App().servers.sortColumn, HOST | SORT_REVERSED_BIT);
    ClickServerColumn(HOST);
    EXPECT_EQ(Hosts(), (Texts{L"Alpha", L"bravo", L"charlie"}));

    ClickServerColumn(PLAYERS); // fullest first
    EXPECT_EQ(ListColumn(App().servers.list, PLAYERS), (Texts{L"7 / 8", L"2 / 8", L"0 / 8"}));
    ClickServerColumn(MAP);
    EXPECT_EQ(ListColumn(App().servers.list, MAP), (Texts{L"Q2DM1", L"q2dm2", L"q2dm3"}));
    ClickServerColumn(AC);
    EXPECT_EQ(ListColumn(App().servers.list, AC), (Texts{L"0", L"1", L"2"}));
    ClickServerColumn(MOD);
    EXPECT_EQ(ListColumn(App().servers.list, MOD), (Texts{L"Action", L"baseq2", L"ctf"}));
    ClickServerColumn(MOD);
    EXPECT_EQ(ListColumn(App().servers.list, MOD), (Texts{L"ctf", L"baseq2", L"Action"}));
    ClickServerColumn(ADDRESS);
    EXPECT_EQ(ListColumn(App().servers.list, ADDRESS),
              (Texts{L"10.0.0.1:27910", L"10.0.0.3:27910", L"10.0.0.4:27910"}));
    ClickServerColumn(PING);
    EXPECT_EQ(Hosts(), (Texts{L"charlie", L"bravo", L"Alpha"}));
    ClickServerColumn(PING);
    EXPECT_EQ(Hosts(), (Texts{L"Alpha", L"bravo", L"charlie"}));

    // A new row lands in its sorted place.
    FeedServer(1, Server("delta", 1), 200);
    EXPECT_EQ(Hosts(), (Texts{L"Alpha", L"delta", L"bravo", L"charlie"}));
}

TEST_F(ServerListTest, RowsListedOneByOneOrInABatchStandWhereASortAfterEachReplyWouldPutThem) {
    // The reference lists each reply the slow way: its row appended and the whole list sorted again. The list's
    // sort is stable, so sorting once after the last append gives the same order.
    HWND reference = CreateWindowW(WC_LISTVIEWW, L"", WS_CHILD | LVS_REPORT, 0, 0, 100, 100, App().hMainDlg, nullptr,
                                   nullptr, nullptr);
    ASSERT_NE(reference, nullptr);
    constexpr int COUNT = 150;
    std::mt19937 random(7);
    auto rowsOf = [](HWND list) {
        std::vector<LPARAM> rows;
        for (int row = 0; row < ListRowCount(list); ++row) {
            rows.push_back(ListItemData(list, row));
        }
        return rows;
    };
    for (int sortValue : {HOST, ADDRESS, MAP, PLAYERS, AC, MOD, PING, HOST | SORT_REVERSED_BIT,
                          ADDRESS | SORT_REVERSED_BIT, PING | SORT_REVERSED_BIT}) {
        App().servers.sortColumn = sortValue;
        std::vector<int> order(COUNT);
        std::iota(order.begin(), order.end(), 0);
        std::shuffle(order.begin(), order.end(), random);
        SendMessageW(reference, LVM_DELETEALLITEMS, 0, 0);
        std::vector<LPARAM> oneByOne;
        Texts counts;
        for (bool batch : {false, true}) {
            SCOPED_TRACE(testing::Message() << "sort " << sortValue << (batch ? ", as one batch" : ", one by one"));
            LoadServerTable(COUNT);
            for (int index : order) {
                // Few distinct values, so most rows tie with others in every column.
                TestServer server = Server(index % 3 ? "Host" : "host", index % 4, 3);
                server.mapname = "q2dm" + std::to_string(index % 5);
                server.gamename = index % 2 ? "ctf" : "baseq2";
                server.anticheat = index % 3;
                FeedServer(index, server, 10 * (index % 6), false);
                if (!batch) {
                    DeliverFedReplies(); // a batch of one
                }
            }
            EXPECT_EQ(ListRowCount(App().servers.list), batch ? 0 : COUNT);
            DeliverFedReplies();
            if (batch) {
                EXPECT_EQ(rowsOf(App().servers.list), oneByOne);
                EXPECT_EQ((Texts{StatusPartText(1), StatusPartText(2)}), counts);
                continue;
            }
            for (int index : order) {
                LVITEMW item{};
                item.mask = LVIF_PARAM;
                item.iItem = ListRowCount(reference);
                item.lParam = index;
                SendMessageW(reference, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
            }
            ReferenceOrder byValue{&App().session.shown, sortValue};
            SendMessageW(reference, LVM_SORTITEMS, reinterpret_cast<WPARAM>(&byValue),
                         reinterpret_cast<LPARAM>(CompareByValue));
            oneByOne = rowsOf(App().servers.list);
            counts = {StatusPartText(1), StatusPartText(2)};
            ASSERT_EQ(oneByOne.size(), static_cast<size_t>(COUNT));
            EXPECT_EQ(oneByOne, rowsOf(reference));
        }
    }
    DestroyWindow(reference);
}

TEST_F(ServerListTest, AddressesSortAsNumbersThenPorts) {
    // 10.0.0.2 and 10.0.0.10 would sort the other way as text; the same address sorts by port.
    std::vector<unsigned char> body = {10, 0, 0, 10, 0x6D, 0x06, 10, 0, 0, 2, 0x6D, 0x07,
                                       10, 0, 0, 2,  0x6D, 0x06, 9,  9, 9, 9, 0x00, 0x50};
    LoadServerTable(body);
    for (int i = 0; i < 4; ++i) {
        FeedServer(i, Server("s", 1));
    }
    ClickServerColumn(ADDRESS);
    EXPECT_EQ(ListColumn(App().servers.list, ADDRESS),
              (Texts{L"9.9.9.9:80", L"10.0.0.2:27910", L"10.0.0.2:27911", L"10.0.0.10:27910"}));
}

TEST_F(ServerListTest, ASortValueNamingNoColumnSortsByPing) {
    for (int stored : {7, 0x4007, 0x8003, -1}) {
        App().servers.sortColumn = stored;
        FeedSortFixture();
        EXPECT_EQ(Hosts(), (Texts{L"charlie", L"bravo", L"Alpha"})) << stored;
    }
    // A click on Ping then reverses what the user sees.
    ClickServerColumn(PING);
    EXPECT_EQ(Hosts(), (Texts{L"Alpha", L"bravo", L"charlie"}));
}

TEST_F(ServerListTest, FullAndEmptyBoxesFilterTheRows) {
    LoadServerTable(5);
    FeedServer(0, Server("empty", 0));
    FeedServer(1, Server("full", 8));
    FeedServer(2, Server("some", 3));
    FeedServer(3, Server("zero slots", 0, 0));
    FeedServer(4, Server("over", 9));
    EXPECT_EQ(ListRowCount(App().servers.list), 5);

    struct Case {
        bool full, empty;
        Texts hosts; // in ping order, all equal: table order after a rebuild
        const wchar_t* players;
    } cases[] = {
        {false, true, {L"empty", L"some"}, L"3 Players"},
        {false, false, {L"some"}, L"3 Players"},
        {true, false, {L"full", L"some", L"over"}, L"20 Players"},
        {true, true, {L"empty", L"full", L"some", L"zero slots", L"over"}, L"20 Players"},
    };
    for (const Case& c : cases) {
        SetCheckBox(IDC_SHOW_FULL, c.full);
        SetCheckBox(IDC_SHOW_EMPTY, c.empty);
        EXPECT_EQ(App().servers.showFull, c.full);
        EXPECT_EQ(App().servers.showEmpty, c.empty);
        Texts hosts = Hosts();
        std::sort(hosts.begin(), hosts.end());
        Texts expected = c.hosts;
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(hosts, expected);
        EXPECT_EQ(App().servers.shownServers, static_cast<int>(expected.size()));
        EXPECT_EQ(StatusPartText(1), c.players);
    }
}

TEST_F(ServerListTest, UnderAModFilterServersOfEveryModAreListedOnlyWhenTheyRunIt) {
    // The run asked a web master (per mod), a classic master and a list URL (every mod) for "ctf".
    App().session.shown.masters = {MasterEntry{MasterKind::Web, u"127.0.0.1", WEB_MASTER_PORT},
                                   MasterEntry{MasterKind::Udp, u"127.0.0.1", UDP_MASTER_PORT},
                                   MasterEntry{MasterKind::WebList, u"127.0.0.1", WEB_MASTER_PORT, u"/?raw=2"}};
    App().session.shown.modDir = u"ctf";
    LoadServerTable(8);
    struct Case {
        SourceSet sources;
        const char* mod;
        bool listed;
    } cases[] = {
        {MasterSource(0), "action", true}, // the web master listed it for ctf
        {MasterSource(1), "ctf", true},       {MasterSource(1), "action", false},
        {SOURCE_FAVOURITE, "CTF", true}, // game directories compare ignoring case
        {SOURCE_REMEMBERED, "baseq2", false}, {MasterSource(1) | MasterSource(0), "action", true},
        {MasterSource(2), "ctf", true},       {MasterSource(2), "action", false},
    };
    for (int i = 0; i < 8; ++i) {
        App().session.shown.At(i).sources = cases[i].sources;
        FeedServer(i, Server("Host " + std::to_string(i), 1, 8, "q2dm1", cases[i].mod));
    }
    for (int i = 0; i < 8; ++i) {
        EXPECT_EQ(ServerRow(i) >= 0, cases[i].listed) << i;
    }
    EXPECT_EQ(ListDisagreesWithTable(), "");

    // "(No Filter)" lists them all.
    App().session.shown.modDir.clear();
    SetCheckBox(IDC_SHOW_EMPTY, false);
    SetCheckBox(IDC_SHOW_EMPTY, true);
    EXPECT_EQ(ListRowCount(App().servers.list), 8);
    EXPECT_EQ(ListDisagreesWithTable(), "");
}

TEST_F(ServerListTest, TheSelectionStaysWithItsServerUntilTheBoxesRebuildTheList) {
    LoadServerTable(5);
    FeedServer(0, Server("alpha", 2), 30);
    FeedServer(1, Server("bravo", 3), 40);
    FeedServer(2, Server("charlie", 0), 50);
    auto select = [](int row) {
        LVITEMW state{};
        state.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
        state.state = LVIS_SELECTED | LVIS_FOCUSED;
        SendMessageW(App().servers.list, LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(&state));
    };
    auto selected = [] { return static_cast<int>(SendMessageW(App().servers.list, LVM_GETSELECTEDCOUNT, 0, 0)); };
    // The selected row's host, the focused row's host, and the players the player list shows.
    auto marked = [] {
        auto row = [](UINT flag) {
            return static_cast<int>(SendMessageW(App().servers.list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), flag));
        };
        return ListItemText(App().servers.list, row(LVNI_SELECTED), HOST) + L"|" +
               ListItemText(App().servers.list, row(LVNI_FOCUSED), HOST) + L"|" +
               std::to_wstring(ListRowCount(App().players.list));
    };
    select(1);
    ASSERT_EQ(marked(), L"bravo|bravo|3");

    // Rows listed above it, a sort and a search move it with its server; the player list stays.
    FeedServer(3, Server("delta", 1), 10);
    FeedServer(4, Server("echo", 1), 90);
    EXPECT_EQ(marked(), L"bravo|bravo|3");
    ClickServerColumn(HOST);
    ClickServerColumn(HOST);
    EXPECT_EQ(ListColumn(App().servers.list, HOST),
              (std::vector<std::wstring>{L"echo", L"delta", L"charlie", L"bravo", L"alpha"}));
    EXPECT_EQ(marked(), L"bravo|bravo|3");
    SetWindowTextW(GetDlgItem(App().hMainDlg, IDC_SEARCH), L"rav");
    EXPECT_EQ(ListColumn(App().servers.list, HOST), (std::vector<std::wstring>{L"bravo"}));
    EXPECT_EQ(marked(), L"bravo|bravo|3");
    SetWindowTextW(GetDlgItem(App().hMainDlg, IDC_SEARCH), L"");
    EXPECT_EQ(marked(), L"bravo|bravo|3");
    EXPECT_EQ(selected(), 1);

    // Typing in the list goes to the next host name that begins with the typed text.
    SendMessageW(App().servers.list, WM_CHAR, L'D', 1);
    EXPECT_EQ(marked(), L"delta|delta|1");
    select(3); // "bravo" again

    SetCheckBox(IDC_SHOW_FULL, false); // no server is full: nothing changes
    EXPECT_EQ(marked(), L"bravo|bravo|3");
    EXPECT_EQ(ListRowCount(App().servers.list), 5);

    SetCheckBox(IDC_SHOW_EMPTY, false); // "charlie" goes: the list is rebuilt
    EXPECT_EQ(ListRowCount(App().servers.list), 4);
    EXPECT_EQ(selected(), 0);
    EXPECT_EQ(ListRowCount(App().players.list), 0);
    EXPECT_EQ(StatusPartText(2), L"4 Servers");
}

TEST_F(ServerListTest, SizeChangesSetTheRuledWidths) {
    auto widths = [](HWND list, int count) {
        std::vector<int> result;
        for (int i = 0; i < count; ++i) {
            result.push_back(static_cast<int>(SendMessageW(list, LVM_GETCOLUMNWIDTH, i, 0)));
        }
        return result;
    };
    auto resize = [](int clientWidth) {
        SendMessageW(App().hMainDlg, WM_SIZE, SIZE_RESTORED, MAKELPARAM(clientWidth, 400));
    };

    // The details view, as the player list shows it when playerViewDetails is set.
    App().players.details = 1;
    SendMessageW(App().players.list, LVM_SETVIEW, LV_VIEW_DETAILS, 0);
    resize(686);
    EXPECT_EQ(widths(App().servers.list, 7), (std::vector<int>{191, 127, 63, 63, 31, 95, 63}));
    EXPECT_EQ(widths(App().players.list, 3), (std::vector<int>{138, 69, 69}));
    resize(1000);
    EXPECT_EQ(widths(App().servers.list, 7), (std::vector<int>{282, 188, 94, 94, 47, 141, 94}));
    EXPECT_EQ(widths(App().players.list, 3), (std::vector<int>{205, 102, 102}));

    // The list view of the template: one width for all its columns.
    App().players.details = 0;
    SendMessageW(App().players.list, LVM_SETVIEW, LV_VIEW_LIST, 0);
    resize(686);
    EXPECT_EQ(widths(App().players.list, 1), (std::vector<int>{91}));

    resize(0); // minimised: no negative widths
    EXPECT_EQ(widths(App().servers.list, 7), (std::vector<int>(7, 0)));
}

TEST_F(ServerListTest, DisplayRequestsOutsideTheTableLeaveTheBufferAlone) {
    LoadServerTable(1);
    FeedServer(0, Server("x", 1));
    wchar_t text[8] = L"keep";
    NMLVDISPINFOW request{};
    request.hdr.hwndFrom = App().servers.list;
    request.hdr.idFrom = IDC_SERVER_LIST;
    request.hdr.code = LVN_GETDISPINFOW;
    request.item.mask = LVIF_TEXT;
    request.item.pszText = text;
    request.item.cchTextMax = ARRAYSIZE(text);
    for (auto [subItem, row] : {std::pair{7, 0}, std::pair{0, 1}, std::pair{0, -1}}) {
        request.item.iSubItem = subItem;
        request.item.iItem = row;
        SendMessageW(App().hMainDlg, WM_NOTIFY, IDC_SERVER_LIST, reinterpret_cast<LPARAM>(&request));
        EXPECT_STREQ(text, L"keep");
    }
    // A short buffer gets the cut, terminated text.
    App().session.shown.At(0).hostname[0] = u'L';
    request.item.iSubItem = HOST;
    request.item.iItem = 0;
    request.item.cchTextMax = 2;
    SendMessageW(App().hMainDlg, WM_NOTIFY, IDC_SERVER_LIST, reinterpret_cast<LPARAM>(&request));
    EXPECT_STREQ(text, L"L");
}

TEST_F(ServerListTest, ARebuiltTableTakesItsRowsAlong) {
    FeedSortFixture();
    ASSERT_EQ(ListRowCount(App().servers.list), 3);
    LoadServerTable(2);
    EXPECT_EQ(App().session.shown.count, 2);
    EXPECT_EQ(ListRowCount(App().servers.list), 0);
    EXPECT_EQ(App().servers.shownServers, 0);
    EXPECT_EQ(App().servers.shownPlayers, 0);

    // A refilter now finds nothing answered.
    SetCheckBox(IDC_SHOW_FULL, false);
    EXPECT_EQ(ListRowCount(App().servers.list), 0);
}

} // namespace

// Search as you type: the rows, the counts, the matched player and the row's tip, and the way back.
class ServerSearchTest : public ServerListTest {
protected:
    static HWND Box() { return GetDlgItem(App().hMainDlg, IDC_SEARCH); }
    static void Type(const std::wstring& text) { SetWindowTextW(Box(), text.c_str()); } // sends its EN_CHANGE

    // Three servers: one that a player's name finds, one its host name finds, one neither.
    void FeedSearchFixture() {
        LoadServerTable(3);
        TestServer friends = Server("Friday Night", 0);
        friends.players = {{3, 40, "Zoe"}, {9, 50, "\xC4ngstr\xF6m"}, {1, 60, "Bob"}}; // Ängström, in code page 1252
        FeedServer(0, friends, 30);
        FeedServer(1, Server("\xC4NGSTR\xD6M Arena", 2), 40);
        FeedServer(2, Server("Quiet", 1, 8, "base1"), 50);
    }

    static std::wstring TipOfRow(int row) {
        wchar_t text[INFOTIPSIZE] = L"unchanged";
        NMLVGETINFOTIPW tip{};
        tip.hdr = {App().servers.list, IDC_SERVER_LIST, static_cast<UINT>(LVN_GETINFOTIPW)};
        tip.pszText = text;
        tip.cchTextMax = INFOTIPSIZE;
        tip.iItem = row;
        SendMessageW(App().hMainDlg, WM_NOTIFY, IDC_SERVER_LIST, reinterpret_cast<LPARAM>(&tip));
        return text;
    }

    // A picture for people to look at, screenshots/NAME, once Wine has put what `shown` looks for on the screen.
    static void SavePicture(const wchar_t* name, const std::function<bool(const ScreenPicture&)>& shown) {
        RepaintServerList(App().servers);
        RedrawWindow(App().hMainDlg, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
        ScreenPicture picture;
        PumpUntil([&] { return shown(picture = CaptureWindow(App().hMainDlg)); }, 2000);
        CreateDirectoryW(L"screenshots", nullptr);
        EXPECT_TRUE(WriteBitmap(picture, (std::wstring(L"screenshots\\") + name).c_str()));
    }

    static int SelectedPlayerRow() {
        return static_cast<int>(
            SendMessageW(App().players.list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), MAKELPARAM(LVNI_SELECTED, 0)));
    }
};

TEST_F(ServerSearchTest, TypingShowsOnlyWhatMatchesAndSaysWhy) {
    FeedSearchFixture();
    ASSERT_EQ(ListRowCount(App().servers.list), 3);

    Type(L"\x00E4ngstr");
    EXPECT_EQ(Hosts(), (Texts{L"Friday Night", L"\x00C4NGSTR\x00D6M Arena"})) << "ignoring case beyond ASCII";
    EXPECT_EQ(StatusPartText(2), L"2 of 3 Servers");
    EXPECT_EQ(StatusPartText(1), L"5 Players");
    EXPECT_EQ(ListDisagreesWithTable(), "");
    EXPECT_EQ(SendMessageW(App().servers.list, LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0), 0x22 | LVS_EX_INFOTIP);
    EXPECT_NE(GetWindowLongPtrW(App().players.list, GWL_STYLE) & LVS_SHOWSELALWAYS, 0);
    EXPECT_EQ(TipOfRow(0), L"Matched in: player \"\x00C4ngstr\x00F6m\"");
    EXPECT_EQ(TipOfRow(1), L"Matched in: host name");

    // Selecting the server that a player's name found selects that player.
    ListView_SetItemState(App().servers.list, 0, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    ASSERT_EQ(ListRowCount(App().players.list), 3);
    EXPECT_EQ(SelectedPlayerRow(), 1);
    EXPECT_EQ(ListItemText(App().players.list, SelectedPlayerRow(), 0), L"\x00C4ngstr\x00F6m");
    EXPECT_EQ(StatusPartText(0), TipOfRow(0)) << "the status line says why too";
    RECT list, bar;
    GetWindowRect(App().servers.list, &list);
    GetWindowRect(App().status.bar, &bar);
    SavePicture(L"search.bmp", [&](const ScreenPicture& picture) {
        return picture.Count(list, GetSysColor(COLOR_HIGHLIGHT)) > 0 && picture.Count(bar, RGB(0, 0, 0)) > 0;
    });
    ListView_SetItemState(App().servers.list, 1, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    EXPECT_EQ(SelectedPlayerRow(), -1) << "a host name match selects no one";

    Type(L"127.0.0.1:2791");
    EXPECT_EQ(ListRowCount(App().servers.list), 0) << "the table's servers are on 10.0.0.x";
    EXPECT_EQ(StatusPartText(2), L"0 of 3 Servers");
    Type(L"10.0.0.3:");
    EXPECT_EQ(Hosts(), Texts{L"Quiet"});
    EXPECT_EQ(TipOfRow(0), L"Matched in: address");
    UpdateWindow(App().servers.list);
    Type(L"10.0.0.3:2"); // the same server in the same row
    EXPECT_FALSE(GetUpdateRect(App().servers.list, nullptr, FALSE))
        << "a row that shows what it showed is not repainted";
    Type(L"q2dm1");
    EXPECT_TRUE(GetUpdateRect(App().servers.list, nullptr, FALSE));
    Type(L"BASE1");
    EXPECT_EQ(TipOfRow(0), L"Matched in: map");

    // Esc empties the box: every server again, the counts and the list's style as they were.
    SendMessageW(App().hMainDlg, WM_COMMAND, IDCANCEL, 0);
    EXPECT_EQ(WindowText(Box()), L"");
    EXPECT_EQ(ListRowCount(App().servers.list), 3);
    EXPECT_EQ(StatusPartText(2), L"3 Servers");
    EXPECT_EQ(SendMessageW(App().servers.list, LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0), 0x22);
    EXPECT_EQ(GetWindowLongPtrW(App().players.list, GWL_STYLE) & LVS_SHOWSELALWAYS, 0);
    EXPECT_EQ(TipOfRow(0), L"unchanged") << "no tip without a search";
    EXPECT_EQ(ListDisagreesWithTable(), "");
}

TEST_F(ServerSearchTest, RepliesAndTheOtherFiltersGoThroughTheSearch) {
    LoadServerTable(4);
    Type(L"duel");
    FeedServer(0, Server("Duel Masters", 0));
    FeedServer(1, Server("Rocket Arena", 8, 8));
    FeedServer(2, Server("DUEL full", 8, 8));
    EXPECT_EQ(Hosts(), (Texts{L"Duel Masters", L"DUEL full"})) << "replies filtered as they come";
    EXPECT_EQ(StatusPartText(2), L"2 of 3 Servers");
    // Another search that shows as many servers: the rows follow it all the same.
    Type(L"r");
    EXPECT_EQ(Hosts(), (Texts{L"Duel Masters", L"Rocket Arena"}));

    Type(L"duel");
    SetCheckBox(IDC_SHOW_EMPTY, false);
    EXPECT_EQ(Hosts(), Texts{L"DUEL full"});
    EXPECT_EQ(StatusPartText(2), L"1 of 2 Servers");
    Type(L"full");
    SetCheckBox(IDC_SHOW_EMPTY, true); // lists one more server, which the search does not show
    EXPECT_EQ(Hosts(), Texts{L"DUEL full"});
    EXPECT_EQ(StatusPartText(2), L"1 of 3 Servers");
    SetCheckBox(IDC_SHOW_FULL, false);
    EXPECT_EQ(StatusPartText(2), L"0 of 1 Server");
    FeedServer(3, Server("Full Moon", 1));
    EXPECT_EQ(Hosts(), Texts{L"Full Moon"});
    EXPECT_EQ(ListDisagreesWithTable(), "");
}

TEST_F(ServerSearchTest, OddTextCtrlFAndEscHaveAClearOutcome) {
    FeedSearchFixture();
    // Pasted text longer than the box takes, and control characters (core's tests take odd text further).
    Type(std::wstring(5000, L'q'));
    EXPECT_EQ(ListRowCount(App().servers.list), 0);
    Type(L"\tZ\x0001o\re");
    EXPECT_EQ(Hosts(), Texts{L"Friday Night"}) << "control characters are left out";
    Type(L"\t\t");
    EXPECT_EQ(ListRowCount(App().servers.list), 3) << "nothing but control characters is no search";
    EXPECT_EQ(StatusPartText(2), L"3 Servers");

    // Ctrl+F, as the message loop hands it over, focuses the box with its text selected.
    Type(L"Quiet");
    SetFocus(App().servers.list);
    BYTE keys[256] = {};
    GetKeyboardState(keys);
    keys[VK_CONTROL] = 0x80;
    SetKeyboardState(keys);
    MSG press{App().servers.list, WM_KEYDOWN, 'F', 0x00210001, 0, {}};
    EXPECT_TRUE(TranslateMainWindowKeys(App().hMainDlg, &press));
    keys[VK_CONTROL] = 0;
    SetKeyboardState(keys);
    EXPECT_EQ(GetFocus(), Box());
    DWORD start = 1, end = 0;
    SendMessageW(Box(), EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    EXPECT_EQ(start, 0u);
    EXPECT_EQ(end, 5u);
    MSG plain{App().servers.list, WM_KEYDOWN, 'F', 0x00210001, 0, {}};
    EXPECT_FALSE(TranslateMainWindowKeys(App().hMainDlg, &plain)) << "F alone is typed";

    SendMessageW(App().hMainDlg, WM_COMMAND, IDCANCEL, 0);
    EXPECT_EQ(ListRowCount(App().servers.list), 3);
    SendMessageW(App().hMainDlg, WM_COMMAND, IDCANCEL, 0); // an empty box stays so
    EXPECT_EQ(ListRowCount(App().servers.list), 3);
}

TEST_F(ServerSearchTest, TheShowChoiceCombinesWithTheSearchAndTheOtherFilters) {
    HWND box = GetDlgItem(App().hMainDlg, IDC_SHOW);
    auto choose = [box](int entry) {
        SendMessageW(box, CB_SETCURSEL, entry, 0);
        SendMessageW(App().hMainDlg, WM_COMMAND, MAKEWPARAM(IDC_SHOW, CBN_SELCHANGE), reinterpret_cast<LPARAM>(box));
    };
    wchar_t recent[64] = L"";
    SendMessageW(box, CB_GETLBTEXT, 2, reinterpret_cast<LPARAM>(recent));
    EXPECT_EQ(std::wstring(recent), L"Recently played");
    wchar_t last[64] = L"";
    SendMessageW(box, CB_GETLBTEXT, 3, reinterpret_cast<LPARAM>(last));
    EXPECT_EQ(std::wstring(last), L"LAN");
    EXPECT_EQ(SendMessageW(box, CB_GETCOUNT, 0, 0), 4);
    EXPECT_EQ(SendMessageW(box, CB_GETCURSEL, 0, 0), 0) << "All servers";

    FeedSearchFixture();
    auto at = [](int record) {
        return std::make_pair(App().session.shown.At(record).addr, App().session.shown.At(record).port);
    };
    AddFavourite(&App().session.lists.favourites, at(1).first, at(1).second);
    AddFavourite(&App().session.lists.favourites, at(2).first, at(2).second);
    NoteJoin(&App().session.lists.recent, at(0).first, at(0).second, 1796813332);
    NoteJoin(&App().session.lists.recent, at(2).first, at(2).second, 1796813332);

    choose(1);
    EXPECT_EQ(Hosts(), (Texts{L"\x00C4NGSTR\x00D6M Arena", L"Quiet"}));
    EXPECT_EQ(StatusPartText(2), L"2 of 3 Servers");
    Type(L"quiet");
    EXPECT_EQ(Hosts(), Texts{L"Quiet"});
    choose(2);
    EXPECT_EQ(Hosts(), Texts{L"Quiet"});
    Type(L"");
    EXPECT_EQ(Hosts(), (Texts{L"Friday Night", L"Quiet"}));
    EXPECT_EQ(StatusPartText(2), L"2 of 3 Servers");

    SendMessageW(box, CB_SHOWDROPDOWN, TRUE, 0); // the choice with its list open
    COMBOBOXINFO combo{};
    combo.cbSize = sizeof combo;
    GetComboBoxInfo(box, &combo);
    RECT dropped{};
    GetWindowRect(combo.hwndList, &dropped);
    SavePicture(L"show.bmp",
                [&](const ScreenPicture& picture) { return picture.Count(dropped, GetSysColor(COLOR_HIGHLIGHT)) > 0; });
    SendMessageW(box, CB_SHOWDROPDOWN, FALSE, 0);

    // A server leaves the history (as the server menu's "Remove from History" does): its row goes.
    ForgetRecent(&App().session.lists.recent, at(0).first, at(0).second);
    OnServerListsChanged(App());
    EXPECT_EQ(Hosts(), Texts{L"Quiet"});
    EXPECT_EQ(StatusPartText(2), L"1 of 3 Servers");

    // "LAN": the servers that answered the run's broadcast, whatever else named them, with the search too.
    App().session.shown.At(0).sources |= SOURCE_LAN;
    App().session.shown.At(2).sources |= SOURCE_LAN | MasterSource(0);
    choose(3);
    EXPECT_EQ(Hosts(), (Texts{L"Friday Night", L"Quiet"}));
    EXPECT_EQ(StatusPartText(2), L"2 of 3 Servers");
    Type(L"zoe");
    EXPECT_EQ(Hosts(), Texts{L"Friday Night"});
    Type(L"");
    // Their rows carry the LAN's mark; Quiet's with the favourite's star and the history's clock.
    EXPECT_EQ(ServerMarks(App().session.lists, App().session.shown.At(0)), 4);
    EXPECT_EQ(ServerMarks(App().session.lists, App().session.shown.At(2)), 7);
    EXPECT_EQ(ServerMarks(App().session.lists, App().session.shown.At(1)), 1);
    const ServerRecord* row0 = RowServerRecord(App().servers, App().session.shown, 0);
    ASSERT_NE(row0, nullptr);
    ServerInfo info = ServerInfoOf(*row0, App().session.shown, App().session.lists);
    EXPECT_EQ(info.address, u"10.0.0.1:27910");
    EXPECT_NE(std::find(info.sources.begin(), info.sources.end(), u"LAN"), info.sources.end())
        << "the server info says where it came from";
    choose(0);
    EXPECT_EQ(ListRowCount(App().servers.list), 3);
    EXPECT_EQ(StatusPartText(2), L"3 Servers");
    EXPECT_EQ(ListDisagreesWithTable(), "");
}
