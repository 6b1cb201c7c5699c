// Joining a server as a user does it: double-clicks and the context menu on the real server list, the search of the
// fixed drives on its worker with its questions answered, stopped or cut short by the program's end, the stand-in
// game started and the program's end, the clipboard, the server info.
#include <windows.h>
#include <commctrl.h>
#include <tlhelp32.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <ctime>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "core/settings/favourites.h"
#include "core/settings/recent_servers.h"
#include "game_drive.h"
#include "harness.h"
#include "picture.h"
#include "platform/win32/settings_key.h"
#include "platform/win32/wide.h"
#include "popup_answerer.h"
#include "resource.h"
#include "servers.h"
#include "windows/dialogs/server_info_dialog.h"
#include "windows/launch/game_locator.h"
#include "windows/launch/game_search.h"
#include "windows/state/app_messages.h"
#include "windows/views/server_list.h"

namespace {

using Texts = std::vector<std::wstring>;

const std::wstring QUESTION_CAPTION = L"Quake II Location";

std::wstring QuestionFor(const std::wstring& directory, const std::wstring& exe = L"quake2.exe") {
    return L"Skerrow found '" + exe + L"' in:\r\n\t" + directory + L"\r\nIs this the one you wish to use?";
}

// One field of each box shown: &ShownBox::caption or &ShownBox::text.
Texts EachBox(const std::vector<ShownBox>& boxes, std::wstring ShownBox::*field) {
    Texts texts;
    for (const ShownBox& box : boxes) {
        texts.push_back(box.*field);
    }
    return texts;
}

// The one box shown (empty when there was not exactly one).
ShownBox OnlyBox(MessageBoxAnswerer& boxes) {
    std::vector<ShownBox> shown = boxes.Shown();
    EXPECT_EQ(shown.size(), 1u);
    return shown.size() == 1 ? shown[0] : ShownBox{};
}

bool Launched(const std::wstring& folder) {
    return GetFileAttributesW((folder + L"launch-record.txt").c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::wstring ClipboardText() {
    std::wstring text;
    if (!OpenClipboard(nullptr)) {
        return L"(clipboard busy)";
    }
    HANDLE data = GetClipboardData(CF_UNICODETEXT);
    if (auto* locked = data ? static_cast<const wchar_t*>(GlobalLock(data)) : nullptr) {
        text = locked;
        GlobalUnlock(data);
    }
    CloseClipboard();
    return text;
}

void SetClipboardText(const std::wstring& text) {
    ASSERT_TRUE(OpenClipboard(nullptr));
    EmptyClipboard();
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, (text.size() + 1) * sizeof(wchar_t));
    CopyMemory(GlobalLock(memory), text.c_str(), (text.size() + 1) * sizeof(wchar_t));
    GlobalUnlock(memory);
    SetClipboardData(CF_UNICODETEXT, memory);
    CloseClipboard();
}

// One tree walked as the search's workers walk it, on this thread: the directories asked about, in order, each
// answered from `answers` (then No). The 20th question stops it, so a search that follows a loop still ends.
struct TreeRun {
    WalkStep end;
    Texts asked;
    std::wstring found;
};
TreeRun SearchTree(std::vector<bool> answers, const wchar_t* directory = GAME_DRIVE) {
    std::atomic<bool> stop{false};
    TreeRun run{WalkStep::Ended, {}, L"unchanged"};
    GameTreeWalk walk(L"quake2.exe", {directory});
    for (;;) {
        WalkStep step = walk.Next(stop);
        if (step == WalkStep::Found) {
            run.asked.push_back(walk.FoundDirectory());
            stop = run.asked.size() >= 20;
            if (run.asked.size() <= answers.size() && answers[run.asked.size() - 1]) {
                run.found = walk.FoundDirectory();
                run.end = WalkStep::Found;
                return run;
            }
        } else if (step != WalkStep::DriveStarted) {
            run.end = step;
            return run;
        }
    }
}

// Pumps until the search the join started has ended and the join has gone on (or the program has ended).
bool AwaitSearchEnd(DWORD timeoutMs = 30000) {
    return PumpUntil([] { return !IsWindow(App().hMainDlg) || !(App().session.gameSearch != nullptr); }, timeoutMs);
}

// Takes only messages sent from other threads (a run's worker sends its steps) until the condition holds or the time
// is up; posted ones, the search's wake-ups among them, stay queued. Returns the condition.
bool TakeSentMessagesUntil(const std::function<bool()>& condition, DWORD timeoutMs = 30000) {
    DWORD start = GetTickCount();
    MSG message;
    while (!condition()) {
        if (GetTickCount() - start >= timeoutMs) {
            return false;
        }
        PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_POSTMESSAGE | QS_SENDMESSAGE);
    }
    return true;
}

// Until the search's worker has stopped at a find: its report waits, queued, for this thread to ask about it.
bool AwaitQueuedFind() {
    return TakeSentMessagesUntil([] { return GameSearchStoppedAtFind(App().session.gameSearch); });
}

// Whether the main dialog answers a message from another thread (what Windows asks to tell a hung window) while
// the search's wake-ups stay queued.
bool AnswersAnotherThread() {
    HWND dialog = App().hMainDlg;
    std::atomic<int> answered{-1};
    std::thread asker([&] {
        wchar_t title[32] = L"";
        DWORD_PTR length = 0;
        bool sent =
            SendMessageTimeoutW(dialog, WM_GETTEXT, 32, reinterpret_cast<LPARAM>(title), SMTO_NORMAL, 5000, &length);
        answered = sent && std::wstring(title) == L"Skerrow";
    });
    TakeSentMessagesUntil([&] { return answered >= 0; }, 10000);
    asker.join();
    return answered == 1;
}

// Esc as the program's message loop sees it: through IsDialogMessage. Only the keys are taken from the queue.
void PressEsc() {
    PostKey(App().servers.list, VK_ESCAPE);
    MSG message;
    while (PeekMessageW(&message, nullptr, WM_KEYFIRST, WM_KEYLAST, PM_REMOVE)) {
        if (!IsDialogMessageW(App().hMainDlg, &message)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
}

std::vector<DWORD> ThreadsOfThisProcess() {
    std::vector<DWORD> threads;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    THREADENTRY32 entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry)) {
        if (entry.th32OwnerProcessID == GetCurrentProcessId()) {
            threads.push_back(entry.th32ThreadID);
        }
    }
    CloseHandle(snapshot);
    std::sort(threads.begin(), threads.end());
    return threads;
}

// The threads of `now` that are not in `before` (both sorted).
std::vector<DWORD> ThreadsSince(const std::vector<DWORD>& before, const std::vector<DWORD>& now) {
    std::vector<DWORD> added;
    std::set_difference(now.begin(), now.end(), before.begin(), before.end(), std::back_inserter(added));
    return added;
}

// Calls `act` on this thread every 10 ms, from inside whatever message loop runs (a menu's, a modal dialog's), as
// a thread timer fires there, until it returns true or this is destroyed.
class ActInMessageLoop {
public:
    explicit ActInMessageLoop(std::function<bool()> act) {
        Pending() = std::move(act);
        timer_ = SetTimer(nullptr, 0, 10, Fire);
    }
    ~ActInMessageLoop() {
        KillTimer(nullptr, timer_);
        Pending() = nullptr;
    }
    ActInMessageLoop(const ActInMessageLoop&) = delete;
    ActInMessageLoop& operator=(const ActInMessageLoop&) = delete;

private:
    static std::function<bool()>& Pending() {
        static std::function<bool()> pending;
        return pending;
    }
    static void CALLBACK Fire(HWND, UINT, UINT_PTR timer, DWORD) {
        if (Pending() && Pending()()) {
            KillTimer(nullptr, timer);
            Pending() = nullptr;
        }
    }
    UINT_PTR timer_;
};

// A child's rectangle in its dialog's client coordinates.
RECT ChildRect(HWND dialog, int id) {
    RECT rect{};
    GetWindowRect(GetDlgItem(dialog, id), &rect);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

class LauncherTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(GameDriveReady()) << "the Wine prefix needs G: as a fixed drive and Z: as another kind";
        ASSERT_TRUE(ClearGameDrive());
        GetCurrentDirectoryW(MAX_PATH, startDir_);
        ASSERT_NE(OpenMainWindow(), nullptr);
        SetCheckBox(IDC_SHOW_FULL, true);
        SetCheckBox(IDC_SHOW_EMPTY, true);
        // Record 0 is 127.0.3.2:80, record 1 is 127.0.3.1:80: addresses on loopback, where nothing answers.
        LoadServerTable({127, 0, 3, 2, 0, 80, 127, 0, 3, 1, 0, 80});
        FeedServer(0, TestServer{});
        FeedServer(1, TestServer{});
        ASSERT_EQ(ListRowCount(App().servers.list), 2);
        RecordStatusLine();
    }
    void TearDown() override {
        CloseMainWindow();
        SetCurrentDirectoryW(startDir_);
        ClearGameDrive();
    }

    static POINT PointInRow(int row) {
        RECT rect{};
        rect.left = LVIR_LABEL;
        SendMessageW(App().servers.list, LVM_GETITEMRECT, row, reinterpret_cast<LPARAM>(&rect));
        return {rect.left + 5, (rect.top + rect.bottom) / 2};
    }
    static POINT PointBesideTheRows() {
        RECT client;
        GetClientRect(App().servers.list, &client);
        return {client.right / 2, client.bottom - 4};
    }
    static void DoubleClick(POINT point) {
        SendMessageW(App().servers.list, WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(point.x, point.y));
    }

    wchar_t startDir_[MAX_PATH]{};
};

TEST_F(LauncherTest, DoubleClickFindsTheGameStartsItConnectingAndEndsTheProgram) {
    // An older copy, listed first, is declined, and the search goes on to the next.
    ASSERT_TRUE(MakeFile(L"G:\\Games\\Older\\quake2.exe"));
    ASSERT_TRUE(PutTestGame(L"G:\\Games\\Quake2\\quake2.exe"));
    MessageBoxAnswerer boxes({IDNO, IDYES});
    DoubleClick(PointInRow(ServerRow(0)));
    ASSERT_TRUE(AwaitSearchEnd());

    EXPECT_FALSE(IsWindow(App().hMainDlg)) << "a join ends the program";
    EXPECT_EQ(EachBox(boxes.Shown(), &ShownBox::caption), Texts(2, QUESTION_CAPTION));
    EXPECT_EQ(EachBox(boxes.Shown(), &ShownBox::text),
              (Texts{QuestionFor(L"G:\\Games\\Older\\"), QuestionFor(L"G:\\Games\\Quake2\\")}));
    // C: is searched first and holds no game; Z: is not a fixed drive.
    EXPECT_EQ(RecordedStatusLines(), (Texts{L"Trying to find quake2.exe on C:\\...",
                                            L"Trying to find quake2.exe on G:\\...", L"Starting Quake II..."}));

    LaunchRecord record = AwaitLaunchRecord(L"G:\\Games\\Quake2\\");
    EXPECT_EQ(record.commandLine, L"\"G:\\Games\\Quake2\\\\quake2.exe\" +connect \"127.0.3.2:80\"");
    EXPECT_EQ(record.currentDir, L"G:\\Games\\Quake2");

    EXPECT_EQ(CloseMainWindow(), 0);
    ASSERT_NE(ReopenMainWindow(), nullptr);
    EXPECT_STREQ(AsWide(App().session.config.gameDir), L"G:\\Games\\Quake2\\") << "the found directory is saved";
}

TEST_F(LauncherTest, TheSearchAsksAboutEachFindInListingOrderUntilOneIsAccepted) {
    // Listed in this order: a folder before the directory's own file, which the search looks into first.
    ASSERT_TRUE(MakeFile(L"G:\\Games\\Older\\QUAKE2.EXE"));
    ASSERT_TRUE(MakeFile(L"G:\\Games\\other.exe"));
    ASSERT_TRUE(MakeFile(L"G:\\Games\\quake2.exe"));
    ASSERT_TRUE(MakeFile(L"G:\\Games\\Zeta\\Quake2.Exe"));
    TreeRun run = SearchTree({false, false, true});
    EXPECT_EQ(run.asked, (Texts{L"G:\\Games\\Older\\", L"G:\\Games\\", L"G:\\Games\\Zeta\\"}));
    EXPECT_EQ(run.end, WalkStep::Found);
    EXPECT_EQ(run.found, L"G:\\Games\\Zeta\\");

    run = SearchTree({});
    EXPECT_EQ(run.asked.size(), 3u);
    EXPECT_EQ(run.end, WalkStep::Ended);
    EXPECT_EQ(run.found, L"unchanged");
    run = SearchTree({}, L"G:\\No such folder\\");
    EXPECT_EQ(run.end, WalkStep::Ended) << "a folder that cannot be listed";
}

TEST_F(LauncherTest, DecliningEveryFindEndsInTheCantFindBox) {
    ASSERT_TRUE(PutTestGame(L"G:\\Games\\Quake2\\quake2.exe"));
    MessageBoxAnswerer boxes({IDNO, IDOK});
    DoubleClick(PointInRow(ServerRow(0)));
    ASSERT_TRUE(AwaitSearchEnd());

    EXPECT_TRUE(IsWindow(App().hMainDlg));
    EXPECT_EQ(EachBox(boxes.Shown(), &ShownBox::caption), (Texts{QUESTION_CAPTION, L"Can't find Quake II"}));
    ASSERT_EQ(boxes.Shown().size(), 2u);
    EXPECT_EQ(boxes.Shown()[1].text,
              L"Unable to find your Quake II executable!\r\n\r\nYou can't join a server until you have specified where "
              L"Quake II is on your system.\n\nTry setting the executable name manually in the config if you have a "
              L"different executable name.");
    EXPECT_EQ(RecordedStatusLines(),
              (Texts{L"Trying to find quake2.exe on C:\\...", L"Trying to find quake2.exe on G:\\...",
                     L"Couldn't find a Quake II executable!"}));
    EXPECT_STREQ(AsWide(App().session.config.gameDir), L"");
    EXPECT_FALSE(Launched(L"G:\\Games\\Quake2\\"));
}

TEST_F(LauncherTest, AGameThatIsMissingOrCannotStartIsReportedAndTheProgramStays) {
    // The second "executable" is a folder: it exists, but no process can be made of it.
    ASSERT_TRUE(MakeFile(L"G:\\Games\\Quake2\\readme.txt"));
    struct Case {
        const wchar_t* gameDir;
        const wchar_t* gameExe;
        const wchar_t* caption;
        std::wstring textStart; // the whole text, or for a failed start the part before the system's reason
        const wchar_t* status;
    };
    const Case cases[] = {
        {L"G:\\Nowhere\\", L"quake2.exe", L"Couldn't find Quake II",
         L"Error: Couldn't find a Quake II executable:\r\n\r\n\tG:\\Nowhere\\\\quake2.exe: File Not Found",
         L"Couldn't find quake2.exe! Check your config."},
        {L"G:\\Games\\", L"Quake2", L"Couldn't start Quake II",
         L"Error: Couldn't start Quake II:\r\n\r\n\tG:\\Games\\\\Quake2: ", L"Couldn't start Quake2!"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(c.caption)));
        wcscpy(AsWide(App().session.config.gameDir), c.gameDir);
        wcscpy(AsWide(App().session.config.gameExe), c.gameExe);
        RecordStatusLine();
        MessageBoxAnswerer boxes({IDOK});
        DoubleClick(PointInRow(ServerRow(1)));

        EXPECT_TRUE(IsWindow(App().hMainDlg));
        ShownBox box = OnlyBox(boxes);
        EXPECT_EQ(box.caption, c.caption);
        EXPECT_EQ(box.text.substr(0, c.textStart.size()), c.textStart);
        EXPECT_EQ(box.text.size() > c.textStart.size(), c.gameExe == std::wstring(L"Quake2"));
        EXPECT_EQ(RecordedStatusLines(), (Texts{L"Starting Quake II...", c.status}));
        EXPECT_STREQ(AsWide(App().session.config.gameDir), c.gameDir);
    }
}

TEST_F(LauncherTest, AnEntryPastThePathLimitEndsTheListingOfItsFolder) {
    // "G:\Deep\" and a 251-character name with its separator make 260 characters, one more than the search forms.
    const std::wstring tooLong = L"G:\\Deep\\" + std::wstring(251, L'a');
    ASSERT_TRUE(MakeFile(tooLong));
    ASSERT_TRUE(MakeFile(L"G:\\Deep\\quake2.exe"));
    ASSERT_TRUE(MakeFile(L"G:\\Later\\quake2.exe"));
    EXPECT_EQ(SearchTree({true}).asked, Texts{L"G:\\Later\\"}) << "the parent's listing goes on";
    // One character less fits, and the listing reaches the game.
    ASSERT_TRUE(DeleteFileW(tooLong.c_str()));
    ASSERT_TRUE(MakeFile(L"G:\\Deep\\" + std::wstring(250, L'a')));
    EXPECT_EQ(SearchTree({true}).asked, Texts{L"G:\\Deep\\"});
}

TEST_F(LauncherTest, AFolderLinkIsNotFollowed) {
    ASSERT_TRUE(MakeFile(L"G:\\Loop\\quake2.exe"));
    // Each leads back: to the folder itself and to the drive's root.
    ASSERT_TRUE(MakeFolderLink(L"G:\\Loop\\again", L"."));
    ASSERT_TRUE(MakeFolderLink(L"G:\\Loop\\up", L".."));
    ASSERT_NE(GetFileAttributesW(L"G:\\Loop\\again\\up\\Loop\\quake2.exe"), INVALID_FILE_ATTRIBUTES)
        << "the links lead somewhere";
    EXPECT_EQ(SearchTree({}).asked, Texts{L"G:\\Loop\\"});
}

// While a find waits for this thread to ask about it, the window answers, a second join starts nothing, and Esc or the
// Stop button (Update, while a search runs) stops the search: no question, no game.
TEST_F(LauncherTest, TheWindowAnswersDuringTheSearchAndEscOrStopEndsIt) {
    ASSERT_TRUE(PutTestGame(L"G:\\Games\\Quake2\\quake2.exe"));
    HWND update = GetDlgItem(App().hMainDlg, IDC_UPDATE);
    HWND config = GetDlgItem(App().hMainDlg, IDC_CONFIG);
    struct Way {
        const char* name;
        void (*stop)();
    };
    for (const Way& way : {Way{"Esc", PressEsc}, Way{"the Stop button", ClickUpdate}}) {
        SCOPED_TRACE(way.name);
        RecordStatusLine();
        MessageBoxAnswerer boxes;
        DoubleClick(PointInRow(ServerRow(0)));
        EXPECT_TRUE((App().session.gameSearch != nullptr)) << "the join returns while the search runs";
        EXPECT_EQ(WindowText(update), L"Stop");
        EXPECT_FALSE(IsWindowEnabled(config));
        ASSERT_TRUE(AwaitQueuedFind());
        DoubleClick(PointInRow(ServerRow(1)));
        EXPECT_TRUE(AnswersAnotherThread());
        way.stop();
        ASSERT_TRUE(AwaitSearchEnd());

        EXPECT_TRUE(boxes.Shown().empty());
        EXPECT_EQ(RecordedStatusLines(),
                  (Texts{L"Trying to find quake2.exe on C:\\...", L"Trying to find quake2.exe on G:\\...",
                         L"Stopped searching for quake2.exe."}))
            << "one search only";
        EXPECT_EQ(WindowText(update), L"Update");
        EXPECT_TRUE(IsWindowEnabled(update));
        EXPECT_TRUE(IsWindowEnabled(config));
        EXPECT_TRUE(IsWindow(App().hMainDlg));
        EXPECT_STREQ(AsWide(App().session.config.gameDir), L"");
        EXPECT_FALSE(Launched(L"G:\\Games\\Quake2\\"));
    }
}

// An update run that ends during the search puts the controls back as for no run; Update must still read Stop, and
// the search's end gives back what the run's end left.
TEST_F(LauncherTest, AnUpdateRunEndingDuringTheSearchLeavesStopInPlace) {
    ASSERT_TRUE(PutTestGame(L"G:\\Games\\Quake2\\quake2.exe"));
    HWND update = GetDlgItem(App().hMainDlg, IDC_UPDATE);
    HWND config = GetDlgItem(App().hMainDlg, IDC_CONFIG);
    MessageBoxAnswerer boxes;
    ClickUpdate();
    ASSERT_TRUE(App().session.run.running);
    DoubleClick(PointInRow(ServerRow(0)));
    EXPECT_EQ(WindowText(update), L"Stop");
    ASSERT_TRUE(AwaitQueuedFind());
    // The run's reports and the timers that take them are served; the search's wake-up stays queued.
    DWORD start = GetTickCount();
    while (App().session.run.running && GetTickCount() - start < 30000) {
        MSG message;
        while (PeekMessageW(&message, nullptr, WM_APP_RUN_REPORT, WM_APP_RUN_REPORT, PM_REMOVE) ||
               PeekMessageW(&message, nullptr, WM_TIMER, WM_TIMER, PM_REMOVE)) {
            DispatchMessageW(&message);
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_POSTMESSAGE | QS_TIMER);
    }
    ASSERT_FALSE(App().session.run.running) << "the run has ended";

    EXPECT_EQ(WindowText(update), L"Stop");
    EXPECT_TRUE(IsWindowEnabled(update));
    EXPECT_FALSE(IsWindowEnabled(config));
    PressEsc();
    ASSERT_TRUE(AwaitSearchEnd());
    EXPECT_EQ(WindowText(update), L"Update");
    EXPECT_TRUE(IsWindowEnabled(update));
    EXPECT_TRUE(IsWindowEnabled(config));
    EXPECT_TRUE(boxes.Shown().empty());
}

// Closing during the search leaves nothing behind: the window goes at once, nothing is asked, and the search's
// wake-ups left in the queue for the window that is gone change nothing.
TEST_F(LauncherTest, ClosingTheProgramDuringTheSearchLeavesNothingBehind) {
    ASSERT_TRUE(PutTestGame(L"G:\\Games\\Quake2\\quake2.exe"));
    MessageBoxAnswerer boxes;
    std::vector<DWORD> before = ThreadsOfThisProcess();
    DoubleClick(PointInRow(ServerRow(0)));
    ASSERT_TRUE(AwaitQueuedFind());
    HWND dialog = App().hMainDlg;
    SendMessageW(dialog, WM_CLOSE, 0, 0);
    EXPECT_FALSE(IsWindow(dialog));
    int passes = 0;
    PumpUntil([&] { return passes++ > 0; });
    EXPECT_TRUE(PumpUntil([&] { return ThreadsSince(before, ThreadsOfThisProcess()).empty(); })) << "no worker is left";
    EXPECT_TRUE(boxes.Shown().empty());
    EXPECT_FALSE(Launched(L"G:\\Games\\Quake2\\"));
}

TEST_F(LauncherTest, ClicksBesideTheRowsDoNothing) {
    MenuChooser menus(-1);
    MessageBoxAnswerer boxes;
    RightClickList(App().servers.list, PointBesideTheRows());
    DoubleClick(PointBesideTheRows());

    EXPECT_TRUE(menus.Shown().empty());
    EXPECT_TRUE(boxes.Shown().empty());
    EXPECT_TRUE(RecordedStatusLines().empty());
    EXPECT_TRUE(IsWindow(App().hMainDlg));
}

TEST_F(LauncherTest, TheContextMenuOpensAtTheClickAndCopiesTheServerAddress) {
    SetClipboardText(L"before");
    POINT click = PointInRow(ServerRow(1));
    std::vector<ShownMenu> shown;
    {
        // Gone before the next menu, which only the dismissing watcher may answer.
        MenuChooser menus(1);
        RightClickList(App().servers.list, click);
        shown = menus.Shown();
    }
    ASSERT_EQ(shown.size(), 1u);
    const ShownMenu& menu = shown[0];
    EXPECT_EQ(menu.items, (std::vector<std::pair<std::wstring, UINT>>{{L"Connect", 1},
                                                                      {L"Copy Server IP", 2},
                                                                      {L"Server Info...", 3},
                                                                      {L"", 0},
                                                                      {L"Add to Favourites", 4},
                                                                      {L"Remove from Favourites", 5},
                                                                      {L"", 0},
                                                                      {L"Watch This Server", 7}}));
    EXPECT_EQ(menu.greyed, Texts{L"Remove from Favourites"});
    ClientToScreen(App().servers.list, &click);
    EXPECT_EQ(menu.topLeft.x, click.x);
    EXPECT_EQ(menu.topLeft.y, click.y);
    EXPECT_EQ(ClipboardText(), L"127.0.3.1:80");
    EXPECT_TRUE(IsWindow(App().hMainDlg));

    // Dismissed: nothing happens.
    MenuChooser dismissed(-1);
    RightClickList(App().servers.list, PointInRow(ServerRow(0)));
    EXPECT_EQ(dismissed.Shown().size(), 1u);
    EXPECT_EQ(ClipboardText(), L"127.0.3.1:80");
    EXPECT_TRUE(IsWindow(App().hMainDlg));
}

// The row's overlay image: 0 for none, 1 for the favourites' star.
UINT RowOverlay(int row) {
    return static_cast<UINT>(SendMessageW(App().servers.list, LVM_GETITEMSTATE, row, LVIS_OVERLAYMASK)) >> 8;
}


TEST_F(LauncherTest, FavouritesChangedInTheContextMenuMarkTheirRowsAndAreSavedAtOnce) {
    const int ADD = 4, REMOVE = 5;
    const std::wstring LOOPBACK_3_1 = MultiText({L"127.0.3.1:80"});
    struct Step {
        int record;          // whose row is right-clicked
        int position;        // the item chosen
        Texts greyed;        // as the menu showed them
        UINT overlays[2];    // rows of records 0 and 1 afterwards
        std::wstring stored; // the value in the key, while the window is still open
    };
    const Step steps[] = {
        {1, ADD, {L"Remove from Favourites"}, {0, 1}, LOOPBACK_3_1},
        {1, ADD, {L"Add to Favourites"}, {0, 1}, LOOPBACK_3_1}, // greyed: nothing happens
        {0, REMOVE, {L"Remove from Favourites"}, {0, 1}, LOOPBACK_3_1},
        {0, ADD, {L"Remove from Favourites"}, {1, 1}, MultiText({L"127.0.3.1:80", L"127.0.3.2:80"})},
        {1, REMOVE, {L"Add to Favourites"}, {1, 0}, MultiText({L"127.0.3.2:80"})},
        {0, REMOVE, {L"Add to Favourites"}, {0, 0}, L"(none)"},
    };
    EXPECT_EQ(StoredMultiText(L"Favourite Servers"), L"(none)");
    for (const Step& step : steps) {
        SCOPED_TRACE(testing::Message() << "record " << step.record << " item " << step.position);
        MenuChooser menus(step.position);
        RightClickList(App().servers.list, PointInRow(ServerRow(step.record)));
        std::vector<ShownMenu> shown = menus.Shown();
        ASSERT_EQ(shown.size(), 1u);
        EXPECT_EQ(shown[0].greyed, step.greyed);
        EXPECT_EQ(RowOverlay(ServerRow(0)), step.overlays[0]);
        EXPECT_EQ(RowOverlay(ServerRow(1)), step.overlays[1]);
        EXPECT_EQ(StoredMultiText(L"Favourite Servers"), step.stored);
    }

    // Rows listed later are marked as they come: a new table with the same servers, and a refilter's rebuild.
    ASSERT_TRUE(
        AddFavourite(&App().session.lists.favourites, App().session.shown.At(1).addr, App().session.shown.At(1).port));
    LoadServerTable({127, 0, 3, 2, 0, 80, 127, 0, 3, 1, 0, 80});
    FeedServer(0, TestServer{});
    FeedServer(1, TestServer{});
    EXPECT_EQ(RowOverlay(ServerRow(0)), 0u);
    EXPECT_EQ(RowOverlay(ServerRow(1)), 1u);
    SetCheckBox(IDC_SHOW_EMPTY, false);
    SetCheckBox(IDC_SHOW_EMPTY, true);
    ASSERT_EQ(ListRowCount(App().servers.list), 2);
    EXPECT_EQ(RowOverlay(ServerRow(0)), 0u);
    EXPECT_EQ(RowOverlay(ServerRow(1)), 1u);
}

TEST_F(LauncherTest, ConnectInTheContextMenuJoinsTheClickedServer) {
    ASSERT_TRUE(PutTestGame(L"G:\\Quake2\\quake2.exe"));
    wcscpy(AsWide(App().session.config.gameDir), L"G:\\Quake2\\");
    MenuChooser menus(0);
    RightClickList(App().servers.list, PointInRow(ServerRow(1)));

    EXPECT_EQ(menus.Shown().size(), 1u);
    EXPECT_FALSE(IsWindow(App().hMainDlg));
    EXPECT_EQ(AwaitLaunchRecord(L"G:\\Quake2\\").commandLine,
              L"\"G:\\Quake2\\\\quake2.exe\" +connect \"127.0.3.1:80\"");
}

// The stored history's strings; none when there is no such value.
Texts StoredHistory() {
    wchar_t text[2048];
    DWORD size = sizeof text;
    DWORD type = 0;
    Texts strings;
    if (RegGetValueW(HKEY_CURRENT_USER, SETTINGS_KEY, L"Recent Servers", RRF_RT_ANY, &type, text, &size) ==
            ERROR_SUCCESS &&
        type == REG_MULTI_SZ) {
        for (const wchar_t* string = text; *string; string += wcslen(string) + 1) {
            strings.push_back(string);
        }
    }
    return strings;
}

TEST_F(LauncherTest, AJoinedServerIsKeptInTheHistoryQueriedInEveryRunMarkedAndCanBeForgotten) {
    ASSERT_TRUE(PutTestGame(L"G:\\Quake2\\quake2.exe"));
    wcscpy(AsWide(App().session.config.gameDir), L"G:\\Quake2\\");
    int64_t before = static_cast<int64_t>(std::time(nullptr));
    {
        MenuChooser connect(0);
        RightClickList(App().servers.list, PointInRow(ServerRow(1)));
    }
    ASSERT_FALSE(IsWindow(App().hMainDlg));
    // Stored at once, before the program ends: the server and the time of the join.
    Texts stored = StoredHistory();
    ASSERT_EQ(stored.size(), 1u);
    std::vector<RecentServer> joined;
    ASSERT_EQ(ParseRecentServers({std::u16string(stored[0].begin(), stored[0].end())}, &joined), 0u);
    EXPECT_EQ(stored[0].substr(0, 13), L"127.0.3.1:80 ");
    EXPECT_GE(joined[0].joinedAt, before);
    EXPECT_LE(joined[0].joinedAt, static_cast<int64_t>(std::time(nullptr)));
    CloseMainWindow();

    // The next start: beside it a damaged entry, which is left out, and a server that no master lists, which the
    // run queries all the same and marks with the history's clock.
    Texts history = {L"127.0.0.1:27910 2026-12-01T20:15:00Z", L"127.0.0.1:27910 yesterday", stored[0]};
    std::wstring value = MultiText(history);
    ASSERT_EQ(RegSetKeyValueW(HKEY_CURRENT_USER, SETTINGS_KEY, L"Recent Servers", REG_MULTI_SZ, value.c_str(),
                              static_cast<DWORD>(value.size() * sizeof(wchar_t))),
              ERROR_SUCCESS);
    ASSERT_NE(ReopenMainWindow((std::string(EMPTY_MASTER) + ScenarioServer(27910)).c_str()), nullptr);
    EXPECT_EQ(App().session.lists.recent.size(), 2u);
    EXPECT_GE(QueriesTo(27910), 1u);
    ASSERT_EQ(ListRowCount(App().servers.list), 1);
    EXPECT_EQ(ListItemText(App().servers.list, 0, 0), L"Host 27910");
    EXPECT_EQ(RowOverlay(0), 2u);
    // A picture of the mark for people to look at: screenshots/history.bmp, like the other tests' pictures.
    RedrawWindow(App().hMainDlg, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    RECT list;
    GetWindowRect(App().servers.list, &list);
    ScreenPicture picture;
    PumpUntil(
        [&] {
            picture = CaptureWindow(App().hMainDlg);
            return picture.Count(list, RGB(0x12, 0x3A, 0x78)) > 0; // the clock's outline
        },
        2000);
    // The join made the game's folder current: the picture goes beside the others, where the test started.
    std::wstring folder = std::wstring(startDir_) + L"\\screenshots";
    CreateDirectoryW(folder.c_str(), nullptr);
    EXPECT_TRUE(WriteBitmap(picture, (folder + L"\\history.bmp").c_str()));
    AddFavourite(&App().session.lists.favourites, App().session.shown.At(0).addr, App().session.shown.At(0).port);
    RemarkServerRows(App().servers);
    EXPECT_EQ(RowOverlay(0), 3u) << "a favourite played on lately has both marks";

    const ServerRecord* row0 = RowServerRecord(App().servers, App().session.shown, 0);
    ASSERT_NE(row0, nullptr);
    ServerInfo info = ServerInfoOf(*row0, App().session.shown, App().session.lists);
    ASSERT_EQ(info.sources.size(), 3u);
    EXPECT_EQ(info.sources[1], u"Recently played");
    TIME_ZONE_INFORMATION zone{};
    if (GetTimeZoneInformation(&zone) != TIME_ZONE_ID_INVALID && zone.Bias == 0 && zone.DaylightBias == 0) {
        EXPECT_EQ(info.sources[2], u"Last joined 2026-12-01 20:15");
    } else {
        EXPECT_EQ(info.sources[2].substr(0, 12), u"Last joined ");
    }

    // "Remove from History" forgets it at once; the favourite's star stays.
    MenuChooser remove(6);
    RightClickList(App().servers.list, PointInRow(0));
    ASSERT_EQ(remove.Shown().size(), 1u);
    ASSERT_GT(remove.Shown()[0].items.size(), 6u);
    EXPECT_EQ(remove.Shown()[0].items[6].first, L"Remove from History");
    EXPECT_EQ(RowOverlay(0), 1u);
    EXPECT_EQ(StoredHistory(), Texts{stored[0]});
    EXPECT_EQ(FindRecent(App().session.lists.recent, App().session.shown.At(0).addr, 27910), nullptr);
}

TEST_F(LauncherTest, ServerInfoShowsTheReplysPairsInOrderAndTheSourceAsTheyWereWhenItOpened) {
    // Named by the web master, a classic master and the favourites.
    App().session.shown.masters = {MasterEntry{MasterKind::Web, u"127.0.0.1", WEB_MASTER_PORT},
                                   MasterEntry{MasterKind::Udp, u"master.example.net", UDP_MASTER_PORT + 1}};
    LoadServerTable({10, 0, 0, 3, 0x6D, 0x06});
    App().session.shown.At(0).sources = MasterSource(0) | MasterSource(1) | SOURCE_FAVOURITE;
    FeedReply(0, "\xff\xff\xff\xffprint\n\\mapname\\q2dm1\\hostname\\Caf\xe9\\cheats\\0\\mapname\\q2dm2\\motd\n"
                 "3 40 \"Ann\"\n");
    ASSERT_EQ(ListRowCount(App().servers.list), 1);
    const wchar_t* title = L"Server Info - 10.0.0.3:27910";

    struct Shown {
        std::vector<std::wstring> keys, values;
        std::wstring sources;
        bool operator==(const Shown& other) const {
            return keys == other.keys && values == other.values && sources == other.sources;
        }
    } opened, afterReplacing;
    RECT list{}, sources{}, close{}, listGrown{}, sourcesGrown{}, closeGrown{};
    int columnsFill[2] = {}; // key and value column widths less the list's client width, before and after
    bool savedPicture = false;
    bool pressedEsc = false;
    std::wstring sampled;
    auto read = [](HWND dialog) {
        HWND list = GetDlgItem(dialog, IDC_INFO_LIST);
        return Shown{ListColumn(list, 0), ListColumn(list, 1), WindowText(GetDlgItem(dialog, IDC_INFO_SOURCES))};
    };
    auto columnsLessClient = [](HWND dialog) {
        HWND list = GetDlgItem(dialog, IDC_INFO_LIST);
        RECT client{};
        GetClientRect(list, &client);
        return static_cast<int>(SendMessageW(list, LVM_GETCOLUMNWIDTH, 0, 0) +
                                SendMessageW(list, LVM_GETCOLUMNWIDTH, 1, 0)) -
               client.right;
    };
    ActInMessageLoop act([&] {
        HWND dialog = FindWindowW(L"#32770", title);
        if (!dialog || !IsWindowVisible(dialog)) {
            return false; // the menu is still open, or the dialog not yet shown
        }
        opened = read(dialog);
        // The reply is the server's history: the pointer over its point, from the graph's right, reads it.
        RECT graph = ChildRect(dialog, IDC_INFO_PING_GRAPH);
        for (int x = graph.right - 1; x > graph.left && sampled.empty(); --x) {
            SendMessageW(dialog, WM_MOUSEMOVE, 0, MAKELPARAM(x, (graph.top + graph.bottom) / 2));
            sampled = WindowText(GetDlgItem(dialog, IDC_INFO_SAMPLE));
        }
        RedrawWindow(dialog, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
        CreateDirectoryW(L"screenshots", nullptr);
        savedPicture = WriteBitmap(SettledCapture(dialog), L"screenshots\\server-info.bmp");

        // A new run's table replaces the one the row belonged to.
        LoadServerTable({10, 0, 0, 4, 0x6D, 0x06});
        TestServer other;
        other.hostname = "Other";
        FeedServer(0, other);
        afterReplacing = read(dialog);

        list = ChildRect(dialog, IDC_INFO_LIST);
        sources = ChildRect(dialog, IDC_INFO_SOURCES);
        close = ChildRect(dialog, IDCANCEL);
        columnsFill[0] = columnsLessClient(dialog);
        RECT window{};
        GetWindowRect(dialog, &window);
        SetWindowPos(dialog, nullptr, 0, 0, window.right - window.left + 100, window.bottom - window.top + 60,
                     SWP_NOMOVE | SWP_NOZORDER);
        listGrown = ChildRect(dialog, IDC_INFO_LIST);
        sourcesGrown = ChildRect(dialog, IDC_INFO_SOURCES);
        closeGrown = ChildRect(dialog, IDCANCEL);
        columnsFill[1] = columnsLessClient(dialog);

        PostKey(GetDlgItem(dialog, IDC_INFO_LIST), VK_ESCAPE);
        pressedEsc = true;
        return true;
    });
    // Closes a dialog that Esc left open, so that the test ends either way.
    PopupWatcher<bool> closer([title](PopupWatcher<bool>& self) {
        HWND dialog = FindWindowW(L"#32770", title);
        if (!dialog || !self.Shown().empty()) {
            return;
        }
        self.Record(true);
        if (!AwaitWindowGone(dialog, 10000)) {
            self.Record(false);
            PostMessageW(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
        }
    });
    {
        MenuChooser menus(2);
        RightClickList(App().servers.list, PointInRow(0));
        EXPECT_EQ(menus.Shown().size(), 1u);
    }
    EXPECT_EQ(closer.Shown(), std::vector<bool>{true}) << "the dialog opened, and Esc closed it";
    ASSERT_TRUE(pressedEsc);

    EXPECT_EQ(opened.keys, (std::vector<std::wstring>{L"mapname", L"hostname", L"cheats", L"mapname", L"motd"}));
    EXPECT_EQ(opened.values, (std::vector<std::wstring>{L"q2dm1", L"Caf\u00e9", L"0", L"q2dm2", L""}));
    EXPECT_EQ(opened.sources, L"Master: http://127.0.0.1\r\nMaster: master.example.net:27901\r\nFavourite");
    EXPECT_TRUE(afterReplacing == opened) << "the dialog shows the copy it took";
    ASSERT_GT(sampled.size(), 7u);
    EXPECT_EQ(sampled.substr(5), L"  ping 50 ms, 1 player") << "no maxclients in the reply";
    EXPECT_TRUE(savedPicture);

    // The list grows with the dialog, the sources box widens and keeps below it, Close keeps to the corner.
    EXPECT_EQ(listGrown.left, list.left);
    EXPECT_EQ(listGrown.top, list.top);
    EXPECT_EQ(listGrown.right, list.right + 100);
    EXPECT_EQ(listGrown.bottom, list.bottom + 60);
    EXPECT_EQ(sourcesGrown.left, sources.left);
    EXPECT_EQ(sourcesGrown.top, sources.top + 60);
    EXPECT_EQ(sourcesGrown.right, sources.right + 100);
    EXPECT_EQ(sourcesGrown.bottom, sources.bottom + 60);
    EXPECT_EQ(closeGrown.left, close.left + 100);
    EXPECT_EQ(closeGrown.top, close.top + 60);
    EXPECT_EQ(closeGrown.right - closeGrown.left, close.right - close.left);
    // The value column takes the rest of the list's width, at either size.
    EXPECT_EQ(columnsFill[0], 0);
    EXPECT_EQ(columnsFill[1], 0);
    EXPECT_TRUE(IsWindow(App().hMainDlg));
    EXPECT_TRUE(IsWindowEnabled(App().hMainDlg));
}

} // namespace
