// The player list as a user sees it: the selected server's players in reply order, sorting on header clicks, and
// the details/small-icon switch on right clicks, remembered across restarts.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "harness.h"
#include "resource.h"
#include "servers.h"

namespace {

using Texts = std::vector<std::wstring>;

constexpr int NAME = 0, SCORE = 1, PING = 2;

class PlayerListTest : public OpenWindowTest {
protected:
    void SetUp() override {
        OpenWindowTest::SetUp();
        SetCheckBox(IDC_SHOW_FULL, true);
        SetCheckBox(IDC_SHOW_EMPTY, true);
        LoadServerTable(3);
        TestServer crowded;
        crowded.hostname = "crowded";
        crowded.players = {{5, 80, "bob"}, {12, 30, "Zed"}, {-3, 200, "alice"}, {12, 10, "Bob"}};
        FeedServer(0, crowded, 10);
        TestServer quiet;
        quiet.hostname = "quiet";
        FeedServer(1, quiet, 20);
        TestServer lone;
        lone.hostname = "lone";
        lone.players = {{1, 2, "solo"}};
        FeedServer(2, lone, 30);
    }

    // Selects the server list row of the table record, as a click does; -1 clears the selection.
    static void SelectServer(int record) {
        LVITEMW state{};
        state.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
        SendMessageW(App().servers.list, LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&state));
        for (int row = 0; record >= 0 && row < ListRowCount(App().servers.list); ++row) {
            if (ListItemData(App().servers.list, row) == record) {
                state.state = LVIS_SELECTED | LVIS_FOCUSED;
                SendMessageW(App().servers.list, LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(&state));
            }
        }
    }

    static Texts Names() { return ListColumn(App().players.list, NAME); }

    static int View() { return static_cast<int>(SendMessageW(App().players.list, LVM_GETVIEW, 0, 0)); }

    // A right click on the list's empty area below the rows, as the mouse makes it.
    static void RightClickPlayerList() {
        RECT client;
        GetClientRect(App().players.list, &client);
        RightClickList(App().players.list, {client.right / 2, client.bottom - 4});
        PumpUntil([] { return false; }, 50);
    }
};

TEST_F(PlayerListTest, SelectingAServerListsItsPlayersInReplyOrder) {
    EXPECT_EQ(ListRowCount(App().players.list), 0);
    SelectServer(0);
    EXPECT_EQ(Names(), (Texts{L"bob", L"Zed", L"alice", L"Bob"}));
    EXPECT_EQ(ListColumn(App().players.list, SCORE), (Texts{L"5", L"12", L"-3", L"12"}));
    EXPECT_EQ(ListColumn(App().players.list, PING), (Texts{L"80", L"30", L"200", L"10"}));
    for (int row = 0; row < 4; ++row) {
        EXPECT_EQ(ListItemData(App().players.list, row),
                  reinterpret_cast<LPARAM>(&App().session.shown.At(0).players[row]));
        EXPECT_EQ(SendMessageW(App().players.list, LVM_GETITEMSTATE, row, LVIS_SELECTED | LVIS_FOCUSED), 0);
        EXPECT_EQ(ListItemImage(App().players.list, row, 0), 0);
    }
    SelectServer(1);
    EXPECT_EQ(ListRowCount(App().players.list), 0) << "a server without players";
    SelectServer(2);
    EXPECT_EQ(Names(), Texts{L"solo"});
    SelectServer(-1);
    EXPECT_EQ(ListRowCount(App().players.list), 0) << "no server selected";
}

TEST_F(PlayerListTest, NoPlayerRowOutlivesItsServerRecord) {
    SelectServer(2);
    ASSERT_EQ(Names(), Texts{L"solo"});
    // The table shrinks under the selected row, which still names record 2.
    App().session.shown.count = 2;
    LVITEMW item{};
    item.stateMask = LVIS_SELECTED;
    int row =
        static_cast<int>(SendMessageW(App().servers.list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
    SendMessageW(App().servers.list, LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(&item));
    item.state = LVIS_SELECTED;
    SendMessageW(App().servers.list, LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(&item));
    EXPECT_EQ(ListRowCount(App().players.list), 0);
    App().session.shown.count = 3;

    // A new table empties the list before the old one is released.
    SelectServer(0);
    ASSERT_EQ(ListRowCount(App().players.list), 4);
    LoadServerTable(1);
    EXPECT_EQ(ListRowCount(App().players.list), 0);
    EXPECT_EQ(ListRowCount(App().servers.list), 0);
}

TEST_F(PlayerListTest, HeaderClicksSortTheSameWayEveryTimeAndARefillRestoresReplyOrder) {
    SelectServer(0);
    auto click = [](int column) { ClickListColumn(App().players.list, column); };
    click(NAME);
    EXPECT_EQ(Names(), (Texts{L"Bob", L"Zed", L"alice", L"bob"})) << "upper case before lower case";
    click(NAME);
    EXPECT_EQ(Names(), (Texts{L"Bob", L"Zed", L"alice", L"bob"})) << "no reversed order";
    click(SCORE);
    EXPECT_EQ(ListColumn(App().players.list, SCORE), (Texts{L"12", L"12", L"5", L"-3"}));
    click(PING);
    EXPECT_EQ(ListColumn(App().players.list, PING), (Texts{L"10", L"30", L"80", L"200"}));

    SelectServer(2);
    SelectServer(0);
    EXPECT_EQ(Names(), (Texts{L"bob", L"Zed", L"alice", L"Bob"}));
}

TEST_F(PlayerListTest, RightClicksSwitchViewsAndTheChoiceSurvivesARestart) {
    EXPECT_EQ(View(), LV_VIEW_LIST) << "the template's list mode at a first start";
    ASSERT_EQ(App().players.canSetView, 1);
    RightClickPlayerList();
    EXPECT_EQ(View(), LV_VIEW_DETAILS);
    EXPECT_EQ(App().players.details, 1);
    RightClickPlayerList();
    EXPECT_EQ(View(), LV_VIEW_SMALLICON) << "the way back from details";
    EXPECT_EQ(App().players.details, 0);
    RightClickPlayerList();
    EXPECT_EQ(View(), LV_VIEW_DETAILS);

    CloseMainWindow();
    ASSERT_NE(ReopenMainWindow(), nullptr);
    EXPECT_EQ(App().players.details, 1);
    EXPECT_EQ(View(), LV_VIEW_DETAILS) << "details at once";
    RightClickPlayerList();
    EXPECT_EQ(View(), LV_VIEW_SMALLICON);
    EXPECT_EQ(App().players.details, 0);

    App().players.canSetView = 0;
    RightClickPlayerList();
    EXPECT_EQ(View(), LV_VIEW_SMALLICON) << "no switching before Windows XP";
    EXPECT_EQ(App().players.details, 0);
}

} // namespace
