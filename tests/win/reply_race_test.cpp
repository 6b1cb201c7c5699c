// Replies parsed on a run's receiver thread while the user clicks the Full and Empty boxes: at every moment the user
// interface thread can observe, the rows are exactly the delivered servers that pass the filters, each once, and the
// counters add up.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "harness.h"
#include "resource.h"
#include "servers.h"
#include "simulator_client.h"

namespace {

constexpr int SERVER_COUNT = 60;

// What a click on the box does, without the mouse capture (an X server round trip under Wine) of BM_CLICK.
void ToggleCheckBox(int id) {
    HWND box = GetDlgItem(App().hMainDlg, id);
    bool checked = SendMessageW(box, BM_GETCHECK, 0, 0) == BST_CHECKED;
    SendMessageW(box, BM_SETCHECK, checked ? BST_UNCHECKED : BST_CHECKED, 0);
    SendMessageW(App().hMainDlg, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(box));
}

// What a user could see right now: the shared check, and no listed record half filled (every server here has
// eight slots).
bool ListMatchesTable(std::string& why) {
    why = ListDisagreesWithTable();
    for (int row = 0; why.empty() && row < ListRowCount(App().servers.list); ++row) {
        if (App().session.shown.At(ListItemData(App().servers.list, row)).maxClients != 8) {
            why = "row " + std::to_string(row) + " lists a server half filled";
        }
    }
    return why.empty();
}

TEST(ReplyRace, RefiltersDuringParsingNeverShowHalfFilledOrDoubledRows) {
    ASSERT_NE(OpenMainWindow(), nullptr);
    SetCheckBox(IDC_SHOW_FULL, true);
    SetCheckBox(IDC_SHOW_EMPTY, true);
    std::string scenario;
    for (int i = 0; i < SERVER_COUNT; ++i) {
        std::string keys = "maxclients = 8\n";
        for (int p = 0; p < i % 9; ++p) { // 0 (empty) to 8 (full) of 8
            keys += "player = " + std::to_string(p) + " 20 \"player" + std::to_string(p) + "\"\n";
        }
        scenario += ScenarioSection(27910 + i, keys);
    }
    ASSERT_EQ(SimLoad(scenario), "OK");
    // Paced, so that replies keep arriving while the boxes are clicked: three seconds of them, for a busy machine
    // where a click and its refilter take a while.
    App().session.config.packetsPerSecond = 20;
    ClickUpdate();

    std::string why;
    int clicks = 0;
    bool consistent = true;
    while (consistent && App().session.run.running) {
        ToggleCheckBox((clicks % 3 == 0) ? IDC_SHOW_EMPTY : IDC_SHOW_FULL);
        ++clicks;
        consistent = ListMatchesTable(why);
        MSG message;
        // Serves the run's reports, then looks again.
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            DispatchMessageW(&message);
        }
        consistent = consistent && ListMatchesTable(why);
    }
    EXPECT_TRUE(consistent) << why << " after " << clicks << " clicks";
    EXPECT_GT(clicks, 10);
    ASSERT_TRUE(WaitForIdle());

    SetCheckBox(IDC_SHOW_FULL, true);
    SetCheckBox(IDC_SHOW_EMPTY, true);
    EXPECT_EQ(ListRowCount(App().servers.list), SERVER_COUNT);
    EXPECT_TRUE(ListMatchesTable(why)) << why;
    CloseMainWindow();
}

} // namespace
