// The servers' history as a user meets it: replies fed through the window become the info dialog's graphs, in the
// list's ping colours, with the sample under the pointer below them; the history is saved in the local application
// data folder on the timed work's tick and read at the next start; a damaged file is set aside with a note.
#include <windows.h>

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "core/history/history_file.h"
#include "core/history/history_files.h"
#include "core/run/remembered_files.h"
#include "harness.h"
#include "picture.h"
#include "platform/win32/wide.h"
#include "resource.h"
#include "servers.h"
#include "windows/app/watching.h"
#include "windows/dialogs/server_info_dialog.h"

namespace {

// The program's clock as the tests move it.
class TestClock : public ProgramClock {
public:
    uint64_t ms = 1000000;
    int64_t unix = 0;
    uint64_t MonotonicMs() override { return ms; }
    int64_t UnixSeconds() override { return unix; }
};

std::wstring HistoryFile() {
    return AsWide(ServerHistoryPath().c_str());
}

std::vector<unsigned char> FileBytes(const std::wstring& path) {
    std::ifstream in(path.c_str(), std::ios::binary);
    return std::vector<unsigned char>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool Exists(const std::wstring& path) {
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// The folder's files whose names begin with `prefix`.
std::vector<std::wstring> FilesNamed(const std::wstring& prefix) {
    std::wstring folder = AsWide(RememberedListFolder().c_str());
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((folder + prefix + L"*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            names.push_back(found.cFileName);
        } while (FindNextFileW(search, &found));
        FindClose(search);
    }
    return names;
}

TestServer WithPlayers(int count) {
    TestServer server;
    server.maxClients = 16;
    for (int i = 0; i < count; ++i) {
        server.players.push_back(TestPlayer{i, 30, "Player" + std::to_string(i)});
    }
    return server;
}

class HistoryTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(OpenMainWindow(), nullptr);
        // Now, to the minute, on the window's clock: the next start reads what is still of the last day.
        clock_.unix = SystemClock().UnixSeconds() / 3600 * 3600;
        App().clock = &clock_;
        SetCheckBox(IDC_SHOW_EMPTY, true);
        LoadServerTable(2); // 10.0.0.1:27910 and 10.0.0.2:27910
    }
    void TearDown() override {
        CloseMainWindow();
        for (const std::wstring& name : FilesNamed(L"Server History")) {
            DeleteFileW((AsWide(RememberedListFolder().c_str()) + name).c_str());
        }
    }
    // Server `index` answers at `secondsAgo` before the clock's now.
    void Answer(int index, int64_t secondsAgo, DWORD ping, int players) {
        int64_t now = clock_.unix;
        clock_.unix = now - secondsAgo;
        FeedServer(index, WithPlayers(players), ping);
        clock_.unix = now;
    }
    HWND OpenInfo(int index) {
        const ServerRecord& record = App().session.shown.At(index);
        ServerInfo info = ServerInfoOf(record, App().session.shown, App().session.lists);
        info.history =
            InfoHistoryOf(record, &App().session.history.keeper.Histories(), clock_.unix, App().session.config);
        HWND dialog = CreateDialogParamW(App().hInstance, MAKEINTRESOURCEW(IDD_SERVER_INFO), App().hMainDlg,
                                         ServerInfoDlgProc, reinterpret_cast<LPARAM>(&info));
        ShowWindow(dialog, SW_SHOW);
        RedrawWindow(dialog, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
        return dialog;
    }

    TestClock clock_;
};

// The mean x and y of a colour's pixels inside a rectangle of the screen; {-1, -1} for none.
POINT MiddleOf(const ScreenPicture& picture, const RECT& rect, COLORREF colour) {
    long long x = 0, y = 0, count = 0;
    for (int row = rect.top; row < rect.bottom; ++row) {
        for (int column = rect.left; column < rect.right; ++column) {
            if (picture.At(column, row) == colour) {
                x += column;
                y += row;
                ++count;
            }
        }
    }
    return count ? POINT{static_cast<LONG>(x / count), static_cast<LONG>(y / count)} : POINT{-1, -1};
}

TEST_F(HistoryTest, TheInfoDialogDrawsTheRepliesInThePingColoursAndTellsTheSampleUnderThePointer) {
    // Good three hours ago, medium two, bad one (two replies in that stretch); the defaults' thresholds are 100 and
    // 200 ms.
    Answer(0, 3 * 3600, 40, 2);
    Answer(0, 2 * 3600, 150, 5);
    Answer(0, 3600, 350, 7);
    Answer(0, 3600 - 60, 300, 6);
    HWND dialog = OpenInfo(0);
    ASSERT_NE(dialog, nullptr);
    ScreenPicture picture = SettledCapture(dialog);
    RECT ping{}, players{};
    GetWindowRect(GetDlgItem(dialog, IDC_INFO_PING_GRAPH), &ping);
    GetWindowRect(GetDlgItem(dialog, IDC_INFO_PLAYERS_GRAPH), &players);
    POINT good = MiddleOf(picture, ping, GOOD_PING_COLOUR);
    POINT medium = MiddleOf(picture, ping, MEDIUM_PING_COLOUR);
    POINT bad = MiddleOf(picture, ping, BAD_PING_COLOUR);
    ASSERT_GE(good.x, 0);
    ASSERT_GE(medium.x, 0);
    ASSERT_GE(bad.x, 0);
    EXPECT_LT(good.x, medium.x) << "time runs to the right";
    EXPECT_LT(medium.x, bad.x);
    EXPECT_GT(good.y, medium.y) << "a higher ping is drawn higher";
    EXPECT_GT(medium.y, bad.y);
    EXPECT_GT(ping.right - bad.x, (ping.right - ping.left) / 30) << "an hour before the right edge, not at it";
    EXPECT_EQ(picture.Count(ping, PLAYERS_COLOUR), 0);
    POINT most = MiddleOf(picture, players, PLAYERS_COLOUR);
    EXPECT_GE(most.x, 0);
    EXPECT_EQ(picture.Count(players, GOOD_PING_COLOUR) + picture.Count(players, BAD_PING_COLOUR), 0);
    CreateDirectoryW(L"screenshots", nullptr);
    EXPECT_TRUE(WriteBitmap(picture, L"screenshots\\server-history.bmp"));

    // Moved across either graph, the pointer finds the three stretches in order, and nothing between them.
    HWND sample = GetDlgItem(dialog, IDC_INFO_SAMPLE);
    EXPECT_EQ(WindowText(sample), L"");
    for (int id : {IDC_INFO_PING_GRAPH, IDC_INFO_PLAYERS_GRAPH}) {
        RECT graph{};
        GetWindowRect(GetDlgItem(dialog, id), &graph);
        MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&graph), 2);
        std::vector<std::wstring> seen;
        POINT first{}; // where the first stretch was found
        for (int x = graph.left; x < graph.right; ++x) {
            SendMessageW(dialog, WM_MOUSEMOVE, 0, MAKELPARAM(x, (graph.top + graph.bottom) / 2));
            std::wstring text = WindowText(sample);
            if (!text.empty() && (seen.empty() || seen.back() != text)) {
                seen.push_back(text);
                if (seen.size() == 1) {
                    first = POINT{x, (graph.top + graph.bottom) / 2};
                }
            }
        }
        ASSERT_EQ(seen.size(), 3u) << id;
        EXPECT_EQ(seen[0].substr(5), L"  ping 40 ms, 2/16 players");
        EXPECT_EQ(seen[1].substr(5), L"  ping 150 ms, 5/16 players");
        EXPECT_EQ(seen[2].substr(5), L"  ping 300\u2013350 ms (mean 325), 7/16 players");
        EXPECT_EQ(seen[0][2], L':');
        SendMessageW(dialog, WM_MOUSEMOVE, 0, MAKELPARAM(graph.left + 2, (graph.top + graph.bottom) / 2));
        EXPECT_EQ(WindowText(sample), L"") << "a day ago nothing was heard";
        // The real pointer there: the graph lets its moves through to the dialog.
        ClientToScreen(dialog, &first);
        SetCursorPos(first.x, first.y);
        EXPECT_TRUE(PumpUntil([&] { return WindowText(sample) == seen[0]; }, 2000)) << id;
        SetCursorPos(0, 0);
        PumpUntil([&] { return WindowText(sample).empty(); }, 500);
    }
    SendMessageW(dialog, WM_MOUSELEAVE, 0, 0);
    EXPECT_EQ(WindowText(sample), L"");
    DestroyWindow(dialog);

    // A server never heard: no points, and a line that says so.
    dialog = OpenInfo(1);
    picture = SettledCapture(dialog);
    GetWindowRect(GetDlgItem(dialog, IDC_INFO_PING_GRAPH), &ping);
    EXPECT_EQ(picture.Count(ping, GOOD_PING_COLOUR) + picture.Count(ping, BAD_PING_COLOUR), 0);
    EXPECT_EQ(WindowText(GetDlgItem(dialog, IDC_INFO_SAMPLE)), L"No history yet");
    DestroyWindow(dialog);

    // With "Keep Server History" off, replies leave no sample.
    App().session.config.keepHistory = false;
    Answer(1, 0, 40, 1);
    EXPECT_EQ(App().session.history.keeper.Histories().Find(App().session.shown.At(1).addr, 27910), nullptr);
    App().session.config.keepHistory = true;
    Answer(1, 0, 40, 1);
    EXPECT_NE(App().session.history.keeper.Histories().Find(App().session.shown.At(1).addr, 27910), nullptr);
}

TEST_F(HistoryTest, TheHistoryIsSavedInLocalAppDataOnTheTickAndReadAtTheNextStart) {
    std::wstring file = HistoryFile();
    ASSERT_FALSE(file.empty());
    EXPECT_EQ(file, std::wstring(AsWide(RememberedListFolder().c_str())) + L"Server History")
        << "beside the remembered lists";
    EXPECT_FALSE(Exists(file));
    Answer(0, 0, 40, 2);
    DoTimedWork(App());
    ASSERT_TRUE(PumpUntil([&] { return Exists(file) && !App().session.history.keeper.Saving(); }));
    DecodedHistory saved = DecodeHistory(FileBytes(file).data(), FileBytes(file).size());
    ASSERT_EQ(saved.kind, HistoryFileKind::Read);
    ASSERT_EQ(saved.servers.size(), 1u);
    EXPECT_EQ(saved.servers[0].buckets[0].lowestPing, 40);

    // Within the minute nothing more is written; after it, the new reply is.
    Answer(1, 0, 60, 3);
    clock_.ms += 30000;
    DoTimedWork(App());
    EXPECT_FALSE(App().session.history.keeper.Saving());
    EXPECT_EQ(DecodeHistory(FileBytes(file).data(), FileBytes(file).size()).servers.size(), 1u);
    clock_.ms += 30000;
    DoTimedWork(App());
    ASSERT_TRUE(PumpUntil([&] {
        return !App().session.history.keeper.Saving() &&
               DecodeHistory(FileBytes(file).data(), FileBytes(file).size()).servers.size() == 2u;
    }));

    // The end saves what came since; the next start reads it back.
    Answer(0, 0, 80, 4);
    uint32_t addr = App().session.shown.At(0).addr;
    CloseMainWindow();
    ASSERT_NE(ReopenMainWindow(), nullptr);
    const ServerHistory* server = App().session.history.keeper.Histories().Find(addr, 27910);
    ASSERT_NE(server, nullptr);
    EXPECT_EQ(server->buckets.back().samples, 2);
    EXPECT_EQ(server->buckets.back().highestPing, 80);
    App().clock = &clock_;

    // With "Keep Server History" off, no file is written.
    App().session.config.keepHistory = false;
    DeleteFileW(file.c_str());
    LoadServerTable(1);
    Answer(0, 0, 40, 2);
    clock_.ms += 120000;
    DoTimedWork(App());
    CloseMainWindow();
    EXPECT_FALSE(Exists(file));
}

TEST_F(HistoryTest, ADamagedFileIsSetAsideWithANoteAndAFreshHistoryBegun) {
    CloseMainWindow();
    std::wstring file = HistoryFile();
    const std::string damaged = "SKHI\x01 not what a history holds";
    {
        std::ofstream out(file.c_str(), std::ios::binary);
        out << damaged;
    }
    ASSERT_NE(ReopenMainWindow(), nullptr);
    ASSERT_TRUE(PumpUntil([] { return StatusPartText(0).find(L"damaged") != std::wstring::npos; }, 5000))
        << "the note waits for the start-up run's end, then stays";
    std::vector<std::wstring> aside = FilesNamed(L"Server History.damaged-");
    ASSERT_EQ(aside.size(), 1u);
    EXPECT_EQ(StatusPartText(0), L"The server history file was damaged: it was set aside as \"" + aside[0] +
                                     L"\" and a new history begun");
    std::vector<unsigned char> kept = FileBytes(AsWide(RememberedListFolder().c_str()) + aside[0]);
    EXPECT_EQ(std::string(kept.begin(), kept.end()), damaged) << "renamed as it was, not deleted";
    EXPECT_FALSE(Exists(file));
    EXPECT_EQ(App().session.history.keeper.Histories().ServerCount(), 0u);
    // The fresh history is saved as usual.
    App().clock = &clock_;
    LoadServerTable(1);
    Answer(0, 0, 40, 2);
    DoTimedWork(App());
    ASSERT_TRUE(PumpUntil([&] { return Exists(file) && !App().session.history.keeper.Saving(); }));
    EXPECT_EQ(DecodeHistory(FileBytes(file).data(), FileBytes(file).size()).kind, HistoryFileKind::Read);
}

} // namespace
