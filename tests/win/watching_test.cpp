// What the window does on its own: its own update runs, the watched servers' queries against the simulator, and the
// join that waits for a slot, with the program's clock moved by the test.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "core/worker/program_clock.h"
#include "game_drive.h"
#include "harness.h"
#include "picture.h"
#include "platform/win32/settings_key.h"
#include "platform/win32/wide.h"
#include "popup_answerer.h"
#include "resource.h"
#include "servers.h"
#include "simulator_client.h"
#include "windows/app/main_window_views.h"
#include "windows/app/watching.h"
#include "windows/views/server_list_rows.h"

namespace {

class TestClock final : public ProgramClock {
public:
    uint64_t MonotonicMs() override { return ms; }
    int64_t UnixSeconds() override { return 1796813332 + static_cast<int64_t>(ms / 1000); }
    uint64_t ms = 5'000'000;
};

// Host 27910 is full (2 of 2), Host 27911 has room.
std::string Servers(int fullPlayers = 2, bool withRoomy = true) {
    std::string scenario = ScenarioSection(27910, "maxclients = 2\n");
    for (int i = 0; i < fullPlayers; ++i) {
        scenario += "player = " + std::to_string(i) + " 40 \"p" + std::to_string(i) + "\"\n";
    }
    if (withRoomy) {
        scenario += ScenarioServer(27911);
    }
    return scenario;
}

class WatchingTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(GameDriveReady());
        ASSERT_TRUE(ClearGameDrive());
        GetCurrentDirectoryW(MAX_PATH, startDir_);
        scenario_ = Servers();
        ASSERT_NE(OpenMainWindow(scenario_.c_str()), nullptr);
        ASSERT_EQ(ListRowCount(App().servers.list), 2);
        App().clock = &clock_;
    }
    void TearDown() override {
        CloseMainWindow();
        SetCurrentDirectoryW(startDir_); // a join moves into the game's folder
        ClearGameDrive();
    }

    // Moves the program's clock on and lets the timed work see it.
    void Pass(uint64_t ms) {
        clock_.ms += ms;
        OnTimedWorkTick(App());
    }
    static int RowOfPort(uint16_t port) {
        for (int row = 0; row < ListRowCount(App().servers.list); ++row) {
            const ServerRecord* record = RowServerRecord(App().servers, App().session.shown, row);
            if (record && record->port == port) {
                return row;
            }
        }
        return -1;
    }
    // The server menu of the port's row, its item with this text chosen; what the menu showed.
    static ShownMenu Choose(uint16_t port, const std::wstring& text) {
        int row = RowOfPort(port);
        RECT rect{};
        rect.left = LVIR_LABEL;
        SendMessageW(App().servers.list, LVM_GETITEMRECT, row, reinterpret_cast<LPARAM>(&rect));
        POINT point{rect.left + 5, (rect.top + rect.bottom) / 2};
        ShownMenu shown;
        {
            MenuChooser dismiss(-1);
            RightClickList(App().servers.list, point);
            std::vector<ShownMenu> menus = dismiss.Shown();
            if (menus.empty()) {
                return shown;
            }
            shown = menus[0];
        }
        for (size_t position = 0; position < shown.items.size(); ++position) {
            if (shown.items[position].first == text) {
                MenuChooser choose(static_cast<int>(position));
                RightClickList(App().servers.list, point);
            }
        }
        return shown;
    }
    static bool HasItem(const ShownMenu& menu, const std::wstring& text) {
        for (const auto& item : menu.items) {
            if (item.first == text) {
                return true;
            }
        }
        return false;
    }
    static UINT RowOverlay(int row) {
        return static_cast<UINT>(SendMessageW(App().servers.list, LVM_GETITEMSTATE, row, LVIS_OVERLAYMASK)) >> 8;
    }

    TestClock clock_;
    std::string scenario_;
    wchar_t startDir_[MAX_PATH]{};
};


TEST_F(WatchingTest, AWatchedServerIsMarkedStoredAndAskedEveryTenSecondsCountingTheRunsQueries) {
    EXPECT_EQ(StoredMultiText(L"Watched Servers"), L"(none)");
    ShownMenu menu = Choose(27911, L"Watch This Server");
    EXPECT_TRUE(HasItem(menu, L"Watch This Server"));
    EXPECT_FALSE(HasItem(menu, L"Join When a Slot Frees")) << "offered on a full server only";
    EXPECT_EQ(StoredMultiText(L"Watched Servers"), MultiText({L"127.0.0.1:27911"})) << "saved at once";
    EXPECT_EQ(RowOverlay(RowOfPort(27911)), 8u) << "the watched mark";
    EXPECT_EQ(RowOverlay(RowOfPort(27910)), 0u);
    // For people to look at: the rows once the menu is gone from the screen.
    ListView_SetItemState(App().servers.list, -1, 0, LVIS_SELECTED);
    RedrawWindow(App().hMainDlg, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    PumpUntil([] { return false; }, 300);
    CreateDirectoryW(L"screenshots", nullptr);
    WriteBitmap(SettledCapture(App().hMainDlg), L"screenshots\\watched.bmp");

    // The start-up run asked it a moment ago: the next query waits for the ten seconds to pass.
    EXPECT_EQ(QueriesTo(27911), 1u);
    Pass(8000);
    PumpUntil([] { return false; }, 200);
    EXPECT_EQ(QueriesTo(27911), 1u);
    Pass(2000);
    EXPECT_TRUE(PumpUntil([] { return QueriesTo(27911) == 2; }));
    Pass(5000);
    PumpUntil([] { return false; }, 200);
    EXPECT_EQ(QueriesTo(27911), 2u);
    EXPECT_EQ(QueriesTo(27910), 1u) << "only the watched server";

    // An update run's query counts: the watched query after it waits ten seconds from it.
    ASSERT_TRUE(RunUpdateToEnd());
    EXPECT_EQ(QueriesTo(27911), 3u);
    Pass(9000);
    PumpUntil([] { return false; }, 200);
    EXPECT_EQ(QueriesTo(27911), 3u);

    // It stops answering: noted after three queries in a row went unanswered, once; then it answers again.
    RecordStatusLine();
    ASSERT_EQ(SimLoad(Servers(2, false)), "OK");
    for (int i = 0; i < 4; ++i) {
        Pass(10000);
        PumpUntil([] { return false; }, 300);
    }
    const std::wstring stopped = L"Host 27911 (127.0.0.1:27911) has not answered 3 queries in a row";
    EXPECT_EQ(std::count(RecordedStatusLines().begin(), RecordedStatusLines().end(), stopped), 1);
    ASSERT_EQ(SimLoad(scenario_), "OK");
    Pass(10000);
    EXPECT_TRUE(PumpUntil([] { return StatusPartText(0) == L"Host 27911 (127.0.0.1:27911) answers again"; }));

    // Unwatched: the mark and the stored value go, and no query follows.
    Choose(27911, L"Watch This Server");
    EXPECT_EQ(StoredMultiText(L"Watched Servers"), L"(none)");
    EXPECT_EQ(RowOverlay(RowOfPort(27911)), 0u);
    size_t asked = QueriesTo(27911);
    Pass(20000);
    PumpUntil([] { return false; }, 200);
    EXPECT_EQ(QueriesTo(27911), asked);
}

TEST_F(WatchingTest, AJoinWaitingForASlotStartsTheGameWhenAReplyShowsRoomAndEscCancelsIt) {
    ASSERT_TRUE(PutTestGame(L"G:\\Quake2\\quake2.exe"));
    wcscpy(AsWide(App().session.config.gameDir), L"G:\\Quake2\\");
    ShownMenu menu = Choose(27910, L"Join When a Slot Frees");
    ASSERT_TRUE(HasItem(menu, L"Join When a Slot Frees"));
    const std::wstring waiting = L"Waiting for a free slot on Host 27910 (127.0.0.1:27910): Esc cancels";
    EXPECT_EQ(StatusPartText(0), waiting);

    // Esc ends the wait, before it would empty the search box.
    SendMessageW(App().hMainDlg, WM_COMMAND, IDCANCEL, 0);
    EXPECT_EQ(StatusPartText(0), L"Stopped waiting for a slot on Host 27910");
    Pass(10000);
    PumpUntil([] { return false; }, 200);
    EXPECT_EQ(QueriesTo(27910), 1u) << "nothing waits any more";

    // Again, and the menu shows it checked; a reply that is still full joins nothing.
    Choose(27910, L"Join When a Slot Frees");
    EXPECT_EQ(StatusPartText(0), waiting);
    Pass(10000);
    ASSERT_TRUE(PumpUntil([] { return QueriesTo(27910) == 2; }));
    PumpUntil([] { return false; }, 300);
    EXPECT_TRUE(IsWindow(App().hMainDlg));

    // A player leaves: the next query's reply starts the game as a double-click does, and the program ends.
    ASSERT_EQ(SimLoad(Servers(1)), "OK");
    Pass(10000);
    EXPECT_TRUE(PumpUntil([] { return !IsWindow(App().hMainDlg); }));
    EXPECT_EQ(AwaitLaunchRecord(L"G:\\Quake2\\").commandLine,
              L"\"G:\\Quake2\\\\quake2.exe\" +connect \"127.0.0.1:27910\"");
}

TEST_F(WatchingTest, TheProgramsOwnRunComesAtItsIntervalWhenNothingHoldsItAndKeepsTheListWhereItWas) {
    ASSERT_EQ(SimLoad(ScenarioServers(60)), "OK");
    ASSERT_TRUE(RunUpdateToEnd());
    ASSERT_EQ(ListRowCount(App().servers.list), 60);
    App().session.config.refreshMinutes = 5;
    ClickListColumn(App().servers.list, 0); // sorted by name
    int32_t sorted = App().servers.sortColumn;
    RECT first{};
    first.left = LVIR_BOUNDS;
    SendMessageW(App().servers.list, LVM_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&first));
    SendMessageW(App().servers.list, LVM_SCROLL, 0, 30 * (first.bottom - first.top));
    ListView_SetItemState(App().servers.list, 35, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    auto portAt = [](int row) {
        const ServerRecord* record = RowServerRecord(App().servers, App().session.shown, row);
        return record ? record->port : 0;
    };
    auto topPort = [&] { return portAt(static_cast<int>(SendMessageW(App().servers.list, LVM_GETTOPINDEX, 0, 0))); };
    auto selectedPort = [&] { return portAt(ListView_GetNextItem(App().servers.list, -1, LVNI_SELECTED)); };
    uint16_t top = topPort(), selected = selectedPort();
    ASSERT_NE(top, 0);
    ASSERT_NE(selected, 0);
    const ServerTable* before = App().session.shown.table.get();

    Pass(5 * 60000 - 1);
    EXPECT_FALSE(App().session.run.running) << "not yet due";
    // A dialog open, then a keystroke in the search box, hold it off.
    EnableWindow(App().hMainDlg, FALSE);
    Pass(1);
    EXPECT_FALSE(App().session.run.running);
    EnableWindow(App().hMainDlg, TRUE);
    SendMessageW(App().hMainDlg, WM_COMMAND, MAKEWPARAM(IDC_SEARCH, EN_CHANGE),
                 reinterpret_cast<LPARAM>(GetDlgItem(App().hMainDlg, IDC_SEARCH)));
    Pass(TYPING_QUIET_MS - 1);
    EXPECT_FALSE(App().session.run.running);
    Pass(1);
    ASSERT_TRUE(App().session.run.running);
    EXPECT_TRUE(App().session.run.quiet);

    // Until it ends, the list shows the last table; then the new one, on the same servers, in the same order.
    EXPECT_EQ(App().session.shown.table.get(), before);
    ASSERT_TRUE(WaitForIdle());
    EXPECT_NE(App().session.shown.table.get(), before);
    EXPECT_EQ(ListRowCount(App().servers.list), 60);
    EXPECT_EQ(App().servers.sortColumn, sorted);
    EXPECT_EQ(topPort(), top);
    EXPECT_EQ(selectedPort(), selected);
    EXPECT_EQ(StatusPartText(0), L"Completed. 60 of 60 servers responded.");

    // The next is due five minutes after this one began; a user's run counts the same.
    Pass(4 * 60000);
    EXPECT_FALSE(App().session.run.running);
    ASSERT_TRUE(RunUpdateToEnd());
    Pass(60000);
    EXPECT_FALSE(App().session.run.running);
    Pass(4 * 60000);
    EXPECT_TRUE(App().session.run.running);
    ASSERT_TRUE(WaitForIdle());

    // One that lists nothing (the master fails, nothing remembered) leaves the table shown, as the user's would.
    ForgetRememberedLists();
    ASSERT_EQ(SimLoad("[master]\nstatus = 404\n"), "OK");
    const ServerTable* shownNow = App().session.shown.table.get();
    Pass(5 * 60000);
    ASSERT_TRUE(App().session.run.running);
    ASSERT_TRUE(WaitForIdle());
    EXPECT_EQ(App().session.shown.table.get(), shownNow);
    EXPECT_EQ(ListRowCount(App().servers.list), 60);
}

} // namespace
