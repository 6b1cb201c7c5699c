// Update runs as a user drives them: the Update/Abort button, the controls it locks, failures and empty lists.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "core/run/remembered_files.h"
#include "core/settings/remembered_list.h"
#include "harness.h"
#include "picture.h"
#include "platform/win32/wide.h"
#include "resource.h"
#include "servers.h"
#include "simulator_client.h"

namespace {

const char* TWO_SERVERS = "[server]\naddress = 127.0.0.1:27910\nhostname = One\nmaxclients = 8\n"
                          "player = 1 30 \"a\"\nplayer = 2 30 \"b\"\n"
                          "[server]\naddress = 127.0.0.1:27911\nhostname = Two\nmaxclients = 8\nplayer = 0 50 \"c\"\n";

struct Controls {
    std::wstring updateText;
    bool updateEnabled, configEnabled, filterEnabled;
    int32_t running;
    bool abortSet;

    bool operator==(const Controls& other) const {
        return updateText == other.updateText && updateEnabled == other.updateEnabled &&
               configEnabled == other.configEnabled && filterEnabled == other.filterEnabled &&
               running == other.running && abortSet == other.abortSet;
    }
};

Controls ControlsNow() {
    auto enabled = [](int id) { return IsWindowEnabled(GetDlgItem(App().hMainDlg, id)) != FALSE; };
    return {WindowText(GetDlgItem(App().hMainDlg, IDC_UPDATE)),
            enabled(IDC_UPDATE),
            enabled(IDC_CONFIG),
            enabled(IDC_MOD_FILTER),
            App().session.run.running,
            App().session.run.handle != nullptr && App().session.run.handle->Aborted()};
}

const Controls IDLE = {L"Update", true, true, true, 0, false};
const Controls RUNNING = {L"Abort", true, false, false, 1, false};
const Controls ABORTING = {L"Abort", false, false, false, 1, true};

void PrintTo(const Controls& c, std::ostream* out) {
    *out << "{" << testing::PrintToString(c.updateText) << ", update " << c.updateEnabled << ", config "
         << c.configEnabled << ", filter " << c.filterEnabled << ", running " << c.running << ", abort " << c.abortSet
         << "}";
}

class UpdateRunTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(OpenMainWindow(TWO_SERVERS), nullptr);
        App().session.config.packetsPerSecond = 1000;
    }
    void TearDown() override { CloseMainWindow(); }
};

TEST_F(UpdateRunTest, StartUpRunsOnceAndListsEveryServer) {
    // One server list request beside the filter list's.
    std::vector<std::string> requests = SimLogOf("http");
    EXPECT_EQ(std::count_if(requests.begin(), requests.end(),
                            [](const std::string& line) { return SimLogField(line, "target") != "/filters"; }),
              1);
    EXPECT_EQ(StatusPartText(0), L"Completed. 2 of 2 servers responded.");
    EXPECT_EQ(ListRowCount(App().servers.list), 2);
    EXPECT_EQ(ControlsNow(), IDLE);

    // The rows are on the screen: the list redraws once the run is over, whatever it held back while listing.
    RECT row{LVIR_BOUNDS, 0, 0, 0};
    SendMessageW(App().servers.list, LVM_GETITEMRECT, 1, reinterpret_cast<LPARAM>(&row));
    MapWindowPoints(App().servers.list, nullptr, reinterpret_cast<POINT*>(&row), 2);
    EXPECT_TRUE(PumpUntil([&row] {
        ScreenPicture picture = CaptureWindow(App().hMainDlg);
        IntersectRect(&row, &row, &picture.area);
        return picture.Count(row, GetSysColor(COLOR_WINDOWTEXT)) > 0;
    }));
}

TEST_F(UpdateRunTest, ButtonGoesFromUpdateToAbortToDisabledAndBack) {
    // An abort while the list downloads cancels the download: the run ends at once, and no server is asked.
    ASSERT_EQ(SimLoad("[master]\ndelay_ms = 700\n[server]\naddress = 127.0.0.1:27910\nsilent = 1\n"
                      "[server]\naddress = 127.0.0.1:27911\nsilent = 1\n"),
              "OK");
    ClickUpdate();
    EXPECT_EQ(ControlsNow(), RUNNING);
    ClickUpdate();
    EXPECT_EQ(ControlsNow(), ABORTING);
    ClickUpdate(); // a disabled button does nothing
    EXPECT_EQ(ControlsNow(), ABORTING);
    ASSERT_TRUE(WaitForIdle());
    EXPECT_EQ(ControlsNow(), IDLE);
    EXPECT_EQ(StatusPartText(0), L"Aborted.");
}

TEST_F(UpdateRunTest, AFailedDownloadKeepsThePictureAndTheNextUpdateWorks) {
    ServerTable* table = App().session.shown.table.get();
    ASSERT_EQ(ListRowCount(App().servers.list), 2);

    // A download that fails, and one aborted while it is still going, leave the picture as it was. (No remembered
    // list stands in for the failed master.)
    ForgetRememberedLists();
    ASSERT_EQ(SimLoad("[master]\nstatus = 404\n"), "OK");
    ASSERT_TRUE(RunUpdateToEnd());
    EXPECT_EQ(StatusPartText(0), L"Failed to download server list from 127.0.0.1.");
    ASSERT_EQ(SimLoad("[master]\ndelay_ms = 500\n"), "OK");
    ClickUpdate();
    ClickUpdate();
    ASSERT_TRUE(WaitForIdle());
    EXPECT_EQ(ControlsNow(), IDLE);
    EXPECT_EQ(StatusPartText(0), L"Aborted.");
    EXPECT_EQ(ListRowCount(App().servers.list), 2);
    EXPECT_EQ(StatusPartText(1), L"3 Players");
    EXPECT_EQ(StatusPartText(2), L"2 Servers");
    EXPECT_EQ(App().session.shown.table.get(), table);
    EXPECT_EQ(App().session.shown.count, 2);

    ASSERT_EQ(SimLoad(TWO_SERVERS), "OK");
    ASSERT_TRUE(RunUpdateToEnd());
    EXPECT_EQ(StatusPartText(0), L"Completed. 2 of 2 servers responded.");
    EXPECT_EQ(ListRowCount(App().servers.list), 2);

    // That run remembered its list in a file: a failed download that nobody aborts queries it instead.
    std::wstring file = AsWide((RememberedListFolder() + RememberedListFileName(u"")).c_str());
    EXPECT_NE(GetFileAttributesW(file.c_str()), INVALID_FILE_ATTRIBUTES) << "no remembered list";
    ASSERT_EQ(SimLoad("[master]\nstatus = 404\n" + std::string(TWO_SERVERS)), "OK");
    ASSERT_TRUE(RunUpdateToEnd());
    EXPECT_EQ(StatusPartText(0).rfind(L"Completed. 2 of 2 servers responded. No master answered; the list was "
                                      L"remembered on ",
                                      0),
              0u)
        << StatusPartText(0);
    EXPECT_EQ(ListRowCount(App().servers.list), 2);
}

TEST_F(UpdateRunTest, AnEmptyListEmptiesBothListsAndTheCounts) {
    ASSERT_EQ(SimLoad(EMPTY_MASTER), "OK");
    RecordStatusLine();
    ASSERT_TRUE(RunUpdateToEnd());
    EXPECT_EQ(ListRowCount(App().servers.list), 0);
    EXPECT_EQ(ListRowCount(App().players.list), 0);
    EXPECT_EQ(StatusPartText(1), L"0 Players");
    EXPECT_EQ(StatusPartText(2), L"0 Servers");
    // Texts a few milliseconds apart may pass unseen, but none overtakes another and the closing one stays.
    std::vector<std::wstring> expected = {L"Fetching 127.0.0.1 server list...", L"Querying servers...",
                                          L"Completed. 0 of 0 servers responded."};
    std::vector<std::wstring> shown = RecordedStatusLines();
    if (shown.size() == 2) {
        expected.erase(expected.begin());
    }
    EXPECT_EQ(shown, expected);
}

TEST_F(UpdateRunTest, ChoosingAModFilterStartsARunForIt) {
    SetModFilters({{L"(No Filter)", L""}, {L"Capture The Flag", L"ctf"}}, 1);
    ASSERT_EQ(SimLoad(TWO_SERVERS), "OK");
    SendMessageW(App().hMainDlg, WM_COMMAND, MAKEWPARAM(IDC_MOD_FILTER, CBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(GetDlgItem(App().hMainDlg, IDC_MOD_FILTER)));
    EXPECT_EQ(ControlsNow(), RUNNING);
    ASSERT_TRUE(WaitForIdle());
    std::vector<std::string> requests = SimLogOf("http");
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(SimLogField(requests[0], "target"), "/?mod=ctf&raw=2");
    EXPECT_EQ(StatusPartText(0), L"Completed. 0 of 0 servers responded.");
}

TEST_F(UpdateRunTest, ClicksWhileRunsEndNeverLeaveTheNextRunAborted) {
    ASSERT_EQ(SimLoad(EMPTY_MASTER), "OK");
    // Runs of an empty list end within milliseconds, so many clicks land as a run is ending.
    for (int i = 0; i < 40; ++i) {
        SendMessageW(App().hMainDlg, WM_COMMAND, MAKEWPARAM(IDC_UPDATE, BN_CLICKED), 0);
        PumpUntil([] { return false; }, static_cast<DWORD>(i % 4));
    }
    ASSERT_TRUE(WaitForIdle());
    EXPECT_EQ(ControlsNow(), IDLE);

    ASSERT_EQ(SimLoad(TWO_SERVERS), "OK");
    ASSERT_TRUE(RunUpdateToEnd());
    EXPECT_EQ(StatusPartText(0), L"Completed. 2 of 2 servers responded.");
}

} // namespace
