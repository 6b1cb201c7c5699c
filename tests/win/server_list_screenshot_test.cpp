// The server list as painted on screen after a dozen replies: row icons, favourites' stars, coloured ping dots,
// counts, ping order.
// Also writes the picture to screenshots/server-list.bmp (beside the test's working directory) for people to look at.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "harness.h"
#include "picture.h"
#include "resource.h"
#include "servers.h"
#include "windows/state/app_messages.h"
#include "windows/views/server_list.h"

namespace {

constexpr int PING_COLUMN_INDEX = 6;

// The main colour of each ping dot (the 'm' shade of the icon pictures).
constexpr COLORREF DOT_COLOURS[] = {0, RGB(0x2F, 0xBF, 0x2F), RGB(0xF2, 0xD2, 0x1B), RGB(0xE5, 0x30, 0x30)};
// The gold of the favourites' star ('y' of its picture), which no other icon uses.
constexpr COLORREF STAR_GOLD = RGB(0xFF, 0xCC, 0x00);

RECT ScreenRectOfIcon(int row, int subItem) {
    RECT rect{};
    rect.top = subItem;
    rect.left = LVIR_ICON;
    SendMessageW(App().servers.list, LVM_GETSUBITEMRECT, row, reinterpret_cast<LPARAM>(&rect));
    MapWindowPoints(App().servers.list, nullptr, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

TEST(ServerListScreenshot, ShowsIconsFavouritesPingDotsAndCountsSortedByPing) {
    ASSERT_NE(OpenMainWindow(), nullptr);
    SetCheckBox(IDC_SHOW_FULL, true);
    SetCheckBox(IDC_SHOW_EMPTY, true);
    App().session.config.goodPing = 100;
    App().session.config.mediumPing = 200;

    struct Sample {
        const char* host;
        const char* map;
        const char* mod;
        const char* version;
        int players, maxClients, anticheat;
        DWORD ping;
    } samples[] = {
        {"Fragfest Europe", "q2dm1", "baseq2", "8.70 x86_64 Mar  1 2025 Linux", 6, 16, 1, 35},
        {"Old School 3.20", "q2dm8", "baseq2", "3.20 x86 Dec 21 1998 Win32 RELEASE", 3, 8, 0, 92},
        {"CTF Masters", "q2ctf5", "ctf", "q2proded r3000~abc1234 Jul 21 2025 Linux x86_64", 12, 12, 2, 140},
        {"Rocket Arena", "arena3", "arena", "q2pro r2900 Win64", 4, 10, 0, 260},
        {"BSD Box", "base1", "baseq2", "3.21 FreeBSD 13", 0, 8, 0, 58},
        {"Mac Mini LAN", "q2dm3", "baseq2", "3.20 PPC OSX", 2, 4, 0, 15},
        {"Action Quake", "urban", "action", "8.71 Windows", 9, 16, 1, 175},
        {"Lithium Tokyo", "q2dm2", "lithium", "3.20 x86 Linux", 1, 8, 0, 310},
        {"Unknown OS", "fact3", "baseq2", "3.20 Solaris", 5, 8, 0, 120},
        {"Jail Break", "jail1", "jailbreak", "8.70 x86_64 Linux", 0, 20, 0, 199},
        {"Weapons Factory", "wfa1", "wf", "3.20 x86 Win32", 7, 8, 2, 100},
        {"Night Deathmatch", "q2dm6", "baseq2", "q2pro r3000 Win32", 8, 8, 1, 201},
    };
    const int count = static_cast<int>(std::size(samples));
    LoadServerTable(count);
    const int favourites[] = {1, 5}; // an old Windows server and an Apple one
    for (int i : favourites) {
        AddFavourite(&App().session.lists.favourites, App().session.shown.At(i).addr, App().session.shown.At(i).port);
    }
    for (int i = 0; i < count; ++i) {
        TestServer server;
        server.hostname = samples[i].host;
        server.mapname = samples[i].map;
        server.gamename = samples[i].mod;
        server.version = samples[i].version;
        server.maxClients = samples[i].maxClients;
        server.anticheat = samples[i].anticheat;
        for (int p = 0; p < samples[i].players; ++p) {
            server.players.push_back({p * 3, 40 + p, "player" + std::to_string(p)});
        }
        FeedServer(i, server, samples[i].ping);
        App().session.shown.At(i).ping = samples[i].ping; // exactly, whatever the clock did meanwhile
    }
    // Pings were set exactly after listing: sort again (a click reverses, the next one restores the plain order).
    ClickServerColumn(PING_COLUMN_INDEX);
    ClickServerColumn(PING_COLUMN_INDEX);
    RepaintServerList(App().servers); // as the run's end does: the list's redrawing was held while rows were listed
    RedrawWindow(App().hMainDlg, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);

    ASSERT_EQ(ListRowCount(App().servers.list), count);
    EXPECT_EQ(StatusPartText(1), L"57 Players");
    EXPECT_EQ(StatusPartText(2), L"12 Servers");

    // Wine hands what was painted to the X server on its own time, which a window just opened may not have had yet:
    // the screen is read until the first row's dot is on it.
    ScreenPicture picture = CaptureWindow(App().hMainDlg);
    PumpUntil(
        [&picture] {
            picture = CaptureWindow(App().hMainDlg);
            RECT first = ScreenRectOfIcon(0, PING_COLUMN_INDEX);
            return picture.Count(first, DOT_COLOURS[1]) > 0;
        },
        2000);
    CreateDirectoryW(L"screenshots", nullptr);
    ASSERT_TRUE(WriteBitmap(picture, L"screenshots\\server-list.bmp"));

    // Rows in ping order, each ping cell showing its dot in the colour its threshold gives.
    uint32_t previous = 0;
    RECT list;
    GetWindowRect(App().servers.list, &list);
    for (int row = 0; row < count; ++row) {
        const ServerRecord& record = App().session.shown.At(ListItemData(App().servers.list, row));
        EXPECT_GE(record.ping, previous);
        previous = record.ping;
        RECT dot = ScreenRectOfIcon(row, PING_COLUMN_INDEX);
        if (dot.bottom > list.bottom) {
            break; // below the visible rows
        }
        // The star over the row's icon marks exactly the favourites.
        int star = picture.Count(ScreenRectOfIcon(row, 0), STAR_GOLD);
        if (IsFavourite(App().session.lists.favourites, record.addr, record.port)) {
            EXPECT_GT(star, 10) << "row " << row;
        } else {
            EXPECT_EQ(star, 0) << "row " << row;
        }
        int expected = record.ping <= 100 ? 1 : record.ping > 200 ? 3 : 2;
        for (int image = 1; image <= 3; ++image) {
            int pixels = picture.Count(dot, DOT_COLOURS[image]);
            if (image == expected) {
                EXPECT_GT(pixels, 10) << "row " << row << " ping " << record.ping;
            } else {
                EXPECT_EQ(pixels, 0) << "row " << row << " ping " << record.ping << " image " << image;
            }
        }
    }
    CloseMainWindow();
}

} // namespace
