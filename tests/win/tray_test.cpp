// The notification area as a user meets it: the close box hiding the window to its icon, the icon's menu and clicks
// (sent as the shell sends them with NOTIFYICON_VERSION_4: the event and the icon's id in lParam, the point in
// wParam), the icon again after the shell restarts, the settings saved as the session ends, and buddy alerts.
//
// Whether the icon is there is asked of the shell itself: NIM_MODIFY of the window's icon succeeds only while the
// shell holds it (Wine's explorer, like Windows, answers FALSE for an icon it does not know). Wine never sends
// NIN_BALLOONUSERCLICK or NIN_BALLOONTIMEOUT; the tests send them as Windows does. The balloon itself is the shell's:
// under Wine a balloon tooltip window of the explorer process, shown a moment after the alert, found and read there.
#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "core/settings/settings_store.h"
#include "harness.h"
#include "picture.h"
#include "popup_answerer.h"
#include "servers.h"
#include "simulator_client.h"
#include "windows/state/app_messages.h"
#include "windows/support/notify_icon.h"
#include "windows/views/list_item.h"

namespace {

using MenuItems = std::vector<std::pair<std::wstring, UINT>>;

bool IconIsThere(HWND owner) {
    NOTIFYICONDATAW data{};
    data.cbSize = sizeof data;
    data.hWnd = owner;
    data.uID = NOTIFY_ICON_ID;
    data.uFlags = NIF_TIP;
    wcscpy(data.szTip, L"Skerrow");
    return Shell_NotifyIconW(NIM_MODIFY, &data) != 0;
}

void TakeIconAway(HWND owner) {
    NOTIFYICONDATAW data{};
    data.cbSize = sizeof data;
    data.hWnd = owner;
    data.uID = NOTIFY_ICON_ID;
    Shell_NotifyIconW(NIM_DELETE, &data);
}

// What the shell sends when the user does `event` with the icon, at `at` for a menu.
void IconEvent(UINT event, POINT at = {0, 0}, UINT id = NOTIFY_ICON_ID) {
    SendMessageW(App().hMainDlg, WM_APP_TRAY_ICON, MAKEWPARAM(at.x, at.y), MAKELPARAM(event, id));
}

// The icon's menu, opened at `at`, and the item at `position` chosen in it.
ShownMenu ChooseFromIconMenu(int position, POINT at = {300, 200}, const wchar_t* picture = nullptr) {
    MenuChooser menus(position, picture);
    IconEvent(WM_CONTEXTMENU, at);
    std::vector<ShownMenu> shown = menus.Shown();
    EXPECT_EQ(shown.size(), 1u);
    return shown.empty() ? ShownMenu{} : shown[0];
}

// The shell's balloon now showing `text`: a visible tooltip window of another process (the notification area's)
// whose text it is; null when none shows within the time.
HWND ShellBalloonShowing(const std::wstring& text, DWORD timeoutMs = 5000) {
    struct Search {
        const std::wstring* text;
        HWND found;
    } search{&text, nullptr};
    PumpUntil(
        [&] {
            EnumWindows(
                [](HWND window, LPARAM context) -> BOOL {
                    auto* search = reinterpret_cast<Search*>(context);
                    wchar_t className[64] = L"";
                    DWORD process = 0;
                    GetWindowThreadProcessId(window, &process);
                    GetClassNameW(window, className, 64);
                    if (process == GetCurrentProcessId() || wcscmp(className, TOOLTIPS_CLASSW) != 0 ||
                        !IsWindowVisible(window)) {
                        return TRUE;
                    }
                    wchar_t shown[512] = L"";
                    DWORD_PTR copied = 0;
                    SendMessageTimeoutW(window, WM_GETTEXT, 512, reinterpret_cast<LPARAM>(shown), SMTO_ABORTIFHUNG,
                                        1000, &copied);
                    if (*search->text == shown) {
                        search->found = window;
                        return FALSE;
                    }
                    return TRUE;
                },
                reinterpret_cast<LPARAM>(&search));
            return search.found != nullptr;
        },
        timeoutMs);
    return search.found;
}

Settings StoredSettings() {
    Settings settings{};
    LoadSettings(settings);
    return settings;
}

TestServer ServerWith(const std::string& hostname, const std::string& map, int maxClients,
                      std::vector<std::string> names) {
    TestServer server;
    server.hostname = hostname;
    server.mapname = map;
    server.maxClients = maxClients;
    for (size_t i = 0; i < names.size(); ++i) {
        server.players.push_back({static_cast<int>(i), 40, names[i]});
    }
    return server;
}

int SelectedPlayerRow() {
    return static_cast<int>(SendMessageW(App().players.list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
}

class TrayTest : public OpenWindowTest {
protected:
    void SetUp() override {
        OpenWindowTest::SetUp();
        dialog = App().hMainDlg;
        App().session.config.keepInTray = true;
    }
    void HideToIcon() {
        SendMessageW(dialog, WM_CLOSE, 0, 0);
        ASSERT_TRUE(IsWindow(dialog));
        ASSERT_FALSE(IsWindowVisible(dialog));
        ASSERT_TRUE(IconIsThere(dialog));
    }
    HWND dialog = nullptr;
};

TEST_F(TrayTest, WithoutKeepInTrayTheCloseBoxEndsTheWindowAndAddsNoIcon) {
    App().session.config.keepInTray = false;
    SendMessageW(dialog, WM_CLOSE, 0, 0);
    EXPECT_FALSE(IsWindow(dialog));
    EXPECT_FALSE(IconIsThere(dialog));
    EXPECT_EQ(CloseMainWindow(), 0) << "the program's end";
}

TEST_F(TrayTest, TheCloseBoxHidesTheWindowToItsIconAndShowOrAClickBringsItBack) {
    EXPECT_FALSE(IconIsThere(dialog)) << "no icon while the window is shown";
    HideToIcon();

    POINT at{300, 200};
    ShownMenu menu = ChooseFromIconMenu(0, at);
    EXPECT_EQ(menu.items, (MenuItems{{L"Show", 1}, {L"Update", 2}, {L"Exit", 3}}));
    EXPECT_TRUE(menu.greyed.empty());
    EXPECT_EQ(menu.topLeft.x, at.x);
    EXPECT_EQ(menu.topLeft.y, at.y);
    EXPECT_TRUE(IsWindowVisible(dialog));
    EXPECT_FALSE(IconIsThere(dialog)) << "the task bar has the window again";

    // A click on the icon and Enter on it show the window too; events of another icon id are not this icon's.
    for (UINT event : {UINT{NIN_SELECT}, UINT{NIN_KEYSELECT}}) {
        SCOPED_TRACE(event);
        HideToIcon();
        IconEvent(event, {0, 0}, NOTIFY_ICON_ID + 1);
        IconEvent(WM_LBUTTONUP);
        EXPECT_FALSE(IsWindowVisible(dialog));
        IconEvent(event);
        EXPECT_TRUE(IsWindowVisible(dialog));
        EXPECT_FALSE(IconIsThere(dialog));
    }

    // Dismissing the menu leaves the window hidden.
    HideToIcon();
    // Opened where the shell's icon is, pictured for people to look at.
    ChooseFromIconMenu(-1, {GetSystemMetrics(SM_CXSCREEN) - 12, GetSystemMetrics(SM_CYSCREEN) - 12}, L"tray-menu.bmp");
    EXPECT_FALSE(IsWindowVisible(dialog));
    EXPECT_TRUE(IconIsThere(dialog));
}

TEST_F(TrayTest, TheMenusUpdateStartsARunAndItsExitEndsTheProgramWithTheSettingsSaved) {
    HideToIcon();
    ASSERT_FALSE(App().session.run.running);
    ASSERT_EQ(SimLoad("[master]\ndelay_ms = 3000\n"), "OK"); // a run that lasts
    ChooseFromIconMenu(1);
    EXPECT_TRUE(App().session.run.running) << "as the Update button";
    EXPECT_FALSE(IsWindowVisible(dialog)) << "the run goes on hidden";
    ShownMenu duringRun = ChooseFromIconMenu(1);
    EXPECT_EQ(duringRun.items, (MenuItems{{L"Show", 1}, {L"Abort", 2}, {L"Exit", 3}})) << "as the button reads";
    EXPECT_TRUE(App().session.run.aborting);
    ASSERT_TRUE(WaitForIdle());
    EXPECT_TRUE(IconIsThere(dialog));

    App().session.config.goodPing = 123;
    ASSERT_NE(StoredSettings().config.goodPing, 123);
    ChooseFromIconMenu(2);
    EXPECT_FALSE(IsWindow(dialog));
    EXPECT_FALSE(IconIsThere(dialog)) << "the icon goes with the program";
    Settings stored = StoredSettings();
    EXPECT_EQ(stored.config.goodPing, 123);
    EXPECT_TRUE(stored.config.keepInTray);
    EXPECT_EQ(CloseMainWindow(), 0) << "the program's end";
}

TEST_F(TrayTest, TheIconComesBackWhenTheShellRestartsOnlyIfItWasThere) {
    const UINT taskbarCreated = RegisterWindowMessageW(L"TaskbarCreated");
    HideToIcon();
    TakeIconAway(dialog); // as a shell that ended did
    ASSERT_FALSE(IconIsThere(dialog));
    SendMessageW(dialog, taskbarCreated, 0, 0);
    EXPECT_TRUE(IconIsThere(dialog));
    SendMessageW(dialog, taskbarCreated, 0, 0);
    EXPECT_TRUE(IconIsThere(dialog)) << "a shell that still held it";

    IconEvent(NIN_SELECT);
    SendMessageW(dialog, taskbarCreated, 0, 0);
    EXPECT_FALSE(IconIsThere(dialog)) << "none while the window is shown";
}

TEST_F(TrayTest, TheSessionsEndSavesTheSettingsWhileTheWindowIsHidden) {
    HideToIcon();
    App().session.config.goodPing = 123;
    EXPECT_NE(SendMessageW(dialog, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF), 0) << "the program lets it end";
    SendMessageW(dialog, WM_ENDSESSION, FALSE, ENDSESSION_LOGOFF); // another program refused it
    EXPECT_NE(StoredSettings().config.goodPing, 123);
    SendMessageW(dialog, WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF);
    Settings stored = StoredSettings();
    EXPECT_EQ(stored.config.goodPing, 123);
    EXPECT_TRUE(stored.config.keepInTray);
}

TEST_F(TrayTest, ABuddyWhoAppearsIsToldOfOnceUntilAReplyWithoutHim) {
    App().session.config.buddyAlerts = true;
    SetBuddyText(L"bob\r\nalice\r\n");
    const TestServer withBob = ServerWith("Server X", "q2dm1", 16, {"a", "b", "c", "Bob", "d", "e", "f"});
    const TestServer withoutBob = ServerWith("Server X", "q2dm1", 16, {"a", "b"});
    const Tray& tray = App().tray;

    LoadServerTable(2);
    FeedServer(0, withBob);
    EXPECT_EQ(tray.alertsShown, 1);
    EXPECT_EQ(tray.alertText, u"Bob is playing on Server X (q2dm1, 7/16)");
    EXPECT_TRUE(IsWindowVisible(dialog));
    EXPECT_TRUE(IconIsThere(dialog)) << "added for the alert";
    // The shell shows it: its balloon, with the alert's text.
    HWND balloon = ShellBalloonShowing(L"Bob is playing on Server X (q2dm1, 7/16)");
    ASSERT_NE(balloon, nullptr) << "no balloon of the notification area shows the alert";
    CreateDirectoryW(L"screenshots", nullptr);
    WriteBitmap(SettledCapture(GetDesktopWindow()), L"screenshots\\alert.bmp"); // for people to look at

    // Each table below is the next run's.
    const struct {
        const TestServer* reply; // from server 0; null: the run did not hear it
        int alerts;
    } runs[] = {{&withBob, 1}, {nullptr, 1}, {&withBob, 1}, {&withoutBob, 1}, {nullptr, 1}, {&withBob, 2}};
    for (const auto& run : runs) {
        LoadServerTable(2);
        FeedServer(1, withoutBob);
        if (run.reply) {
            FeedServer(0, *run.reply);
        }
        EXPECT_EQ(tray.alertsShown, run.alerts);
    }

    // While alerts are off there are none, and turning them on tells of the buddies playing then.
    App().session.config.buddyAlerts = false;
    for (const TestServer* reply : {&withoutBob, &withBob}) {
        LoadServerTable(1);
        FeedServer(0, *reply);
    }
    EXPECT_EQ(tray.alertsShown, 2);
    App().session.config.buddyAlerts = true;
    LoadServerTable(1);
    FeedServer(0, withBob);
    EXPECT_EQ(tray.alertsShown, 3);

    // Appearances that one delivery begins make one alert, in reply order.
    LoadServerTable(3);
    FeedServer(1, ServerWith("Y", "q2dm2", 8, {"alice", "x", "y"}), 50, false);
    FeedServer(2, ServerWith("Z", "q2dm3", 4, {"BOB"}), 50, false);
    FeedServer(0, withBob, 50, false);
    DeliverFedReplies();
    EXPECT_EQ(tray.alertsShown, 4);
    EXPECT_EQ(tray.alertText, u"alice is playing on Y (q2dm2, 3/8); BOB is playing on Z (q2dm3, 1/4)");
}

TEST_F(TrayTest, ClickingAnAlertShowsTheWindowWithItsServerAndPlayerSelectedInView) {
    App().session.config.buddyAlerts = true;
    SetBuddyText(L"bob\r\n");
    HideToIcon();
    // Sorted by ping, the buddy's server is the last of more rows than the list shows at once.
    const int count = 60;
    LoadServerTable(count);
    for (int i = 0; i < count - 1; ++i) {
        FeedServer(i, ServerWith("Host " + std::to_string(i), "q2dm1", 8, {"carol"}), 10 + i);
    }
    FeedServer(count - 1, ServerWith("Far", "q2dm1", 8, {"ann", "dave", "Bob", "eve"}), 500);
    ASSERT_EQ(App().tray.alertsShown, 1);
    EXPECT_EQ(App().tray.alertText, u"Bob is playing on Far (q2dm1, 4/8)");
    EXPECT_FALSE(IsWindowVisible(dialog)) << "an alert leaves the window hidden";

    IconEvent(NIN_BALLOONUSERCLICK);
    EXPECT_TRUE(IsWindowVisible(dialog));
    EXPECT_FALSE(IconIsThere(dialog));
    HWND servers = App().servers.list;
    int row = ServerRow(count - 1);
    ASSERT_EQ(row, count - 1);
    EXPECT_EQ(SelectedListRow(servers), row);
    auto top = static_cast<int>(SendMessageW(servers, LVM_GETTOPINDEX, 0, 0));
    auto page = static_cast<int>(SendMessageW(servers, LVM_GETCOUNTPERPAGE, 0, 0));
    EXPECT_LT(page, count);
    EXPECT_TRUE(top <= row && row < top + page) << "top " << top << ", page " << page;
    ASSERT_EQ(ListRowCount(App().players.list), 4);
    ASSERT_GE(SelectedPlayerRow(), 0);
    EXPECT_EQ(ListItemText(App().players.list, SelectedPlayerRow(), 0), L"Bob");

    // An alert while the window is shown adds the icon, which goes when the last balloon has timed out.
    for (int alert = 2; alert <= 3; ++alert) {
        LoadServerTable(1);
        FeedServer(0, ServerWith("Near", "q2dm1", 8, {"Bob"}));
        EXPECT_EQ(App().tray.alertsShown, alert);
        LoadServerTable(1);
        FeedServer(0, ServerWith("Near", "q2dm1", 8, {"alice"}));
    }
    EXPECT_TRUE(IconIsThere(dialog));
    IconEvent(NIN_BALLOONTIMEOUT);
    EXPECT_TRUE(IconIsThere(dialog)) << "one balloon is still up";
    IconEvent(NIN_BALLOONTIMEOUT);
    EXPECT_FALSE(IconIsThere(dialog));
    EXPECT_TRUE(IsWindowVisible(dialog));
}

} // namespace
