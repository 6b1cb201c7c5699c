// Replies parsed on a worker thread while the user clicks the Full and Empty boxes: at every moment the user
// interface thread can observe, the rows are exactly the delivered servers that pass the filters, each once, and the
// counters add up.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/app_state.h"
#include "harness.h"
#include "resource.h"
#include "servers.h"

namespace {

constexpr int SERVER_COUNT = 60;

struct Feeder {
    std::vector<std::string> replies;
    HANDLE clicked = CreateEventW(nullptr, FALSE, FALSE, nullptr); // the user has clicked again
    HANDLE thread = nullptr;
};

// One reply per click, so that every reply meets a refilter. Some are handed over and left for the posted wake-up,
// some delivered at once, as a run does.
DWORD WINAPI FeedAll(void* parameter) {
    auto* feeder = static_cast<Feeder*>(parameter);
    for (int i = 0; i < SERVER_COUNT; ++i) {
        WaitForSingleObject(feeder->clicked, 1000);
        FeedReply(i, feeder->replies[i], 30, i % 3 == 0);
    }
    return 0;
}

// What a click on the box does, without the mouse capture (an X server round trip under Wine) of BM_CLICK.
void ToggleCheckBox(int id) {
    HWND box = GetDlgItem(app.hMainDlg, id);
    bool checked = SendMessageW(box, BM_GETCHECK, 0, 0) == BST_CHECKED;
    SendMessageW(box, BM_SETCHECK, checked ? BST_UNCHECKED : BST_CHECKED, 0);
    SendMessageW(app.hMainDlg, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(box));
}

// What a user could see right now: the shared check, and no listed record half filled (every server here has
// eight slots).
bool ListMatchesTable(std::string& why) {
    why = ListDisagreesWithTable();
    for (int row = 0; why.empty() && row < ListRowCount(app.hServerList); ++row) {
        if (app.servers[ListItemData(app.hServerList, row)].maxClients != 8) {
            why = "row " + std::to_string(row) + " lists a server half filled";
        }
    }
    return why.empty();
}

TEST(ReplyRace, RefiltersDuringParsingNeverShowHalfFilledOrDoubledRows) {
    ASSERT_NE(OpenMainWindow(), nullptr);
    SetCheckBox(IDC_SHOW_FULL, true);
    SetCheckBox(IDC_SHOW_EMPTY, true);
    LoadServerTable(SERVER_COUNT);

    Feeder feeder;
    for (int i = 0; i < SERVER_COUNT; ++i) {
        TestServer server;
        server.hostname = "server " + std::to_string(i);
        for (int p = 0; p < i % 9; ++p) { // 0 (empty) to 8 (full) of 8
            server.players.push_back({p, 20, "player" + std::to_string(p)});
        }
        feeder.replies.push_back(ReplyOf(server));
    }
    feeder.thread = CreateThread(nullptr, 0, FeedAll, &feeder, 0, nullptr);
    ASSERT_NE(feeder.thread, nullptr);

    std::string why;
    int clicks = 0;
    bool consistent = true;
    while (consistent && WaitForSingleObject(feeder.thread, 0) == WAIT_TIMEOUT) {
        ToggleCheckBox((clicks % 3 == 0) ? IDC_SHOW_EMPTY : IDC_SHOW_FULL);
        ++clicks;
        SetEvent(feeder.clicked);
        consistent = ListMatchesTable(why);
        MSG message;
        // Serves the worker's hand-overs, sent and posted, then looks again.
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            DispatchMessageW(&message);
        }
        consistent = consistent && ListMatchesTable(why);
    }
    // Let the worker finish even after a failure, so it never outlives the window.
    ASSERT_TRUE(PumpUntil([&] { return WaitForSingleObject(feeder.thread, 0) == WAIT_OBJECT_0; }, 30000));
    CloseHandle(feeder.thread);
    CloseHandle(feeder.clicked);
    EXPECT_TRUE(consistent) << why << " after " << clicks << " clicks";
    EXPECT_GT(clicks, 10);

    SetCheckBox(IDC_SHOW_FULL, true);
    SetCheckBox(IDC_SHOW_EMPTY, true);
    // The last replies may still be waiting for their posted wake-up.
    EXPECT_TRUE(PumpUntil([] { return ListRowCount(app.hServerList) == SERVER_COUNT; }));
    EXPECT_TRUE(ListMatchesTable(why)) << why;
    CloseMainWindow();
}

} // namespace
