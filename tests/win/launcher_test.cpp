// Joining a server as a user does it: double-clicks and the context menu on the real server list, the search of the
// fixed drives with its questions answered, the stand-in game started and the program's end, the clipboard.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/app_state.h"
#include "base/wide.h"
#include "game_drive.h"
#include "harness.h"
#include "launch/game_locator.h"
#include "popup_answerer.h"
#include "resource.h"
#include "servers.h"

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

class LauncherTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(GameDriveReady()) << "the Wine prefix needs G: as a fixed drive and Z: as another kind";
        ASSERT_TRUE(ClearGameDrive());
        GetCurrentDirectoryW(MAX_PATH, startDir_);
        ASSERT_NE(OpenMainWindow(), nullptr);
        SetCheckBox(IDC_SHOW_FULL, true);
        SetCheckBox(IDC_SHOW_EMPTY, true);
        // Record 0 is 192.168.0.1:80, record 1 is 10.0.0.2:80.
        LoadServerTable({192, 168, 0, 1, 0, 80, 10, 0, 0, 2, 0, 80});
        FeedServer(0, TestServer{});
        FeedServer(1, TestServer{});
        ASSERT_EQ(ListRowCount(app.hServerList), 2);
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
        SendMessageW(app.hServerList, LVM_GETITEMRECT, row, reinterpret_cast<LPARAM>(&rect));
        return {rect.left + 5, (rect.top + rect.bottom) / 2};
    }
    static POINT PointBesideTheRows() {
        RECT client;
        GetClientRect(app.hServerList, &client);
        return {client.right / 2, client.bottom - 4};
    }
    static void DoubleClick(POINT point) {
        SendMessageW(app.hServerList, WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(point.x, point.y));
    }

    wchar_t startDir_[MAX_PATH]{};
};

TEST_F(LauncherTest, DoubleClickFindsTheGameStartsItConnectingAndEndsTheProgram) {
    ASSERT_TRUE(PutTestGame(L"G:\\Games\\Quake2\\quake2.exe"));
    MessageBoxAnswerer boxes({IDYES});
    DoubleClick(PointInRow(ServerRow(0)));

    EXPECT_FALSE(IsWindow(app.hMainDlg)) << "a join ends the program";
    EXPECT_EQ(EachBox(boxes.Shown(), &ShownBox::caption), Texts{QUESTION_CAPTION});
    EXPECT_EQ(EachBox(boxes.Shown(), &ShownBox::text), Texts{QuestionFor(L"G:\\Games\\Quake2\\")});
    EXPECT_STREQ(AsWide(app.config.gameDir), L"G:\\Games\\Quake2\\");
    // C: is searched first and holds no game; Z: is not a fixed drive.
    EXPECT_EQ(RecordedStatusLines(), (Texts{L"Trying to find quake2.exe on C:\\...",
                                            L"Trying to find quake2.exe on G:\\...", L"Starting Quake II..."}));

    LaunchRecord record = AwaitLaunchRecord(L"G:\\Games\\Quake2\\");
    EXPECT_EQ(record.commandLine, L"\"G:\\Games\\Quake2\\\\quake2.exe\" +connect \"192.168.0.1:80\"");
    EXPECT_EQ(record.currentDir, L"G:\\Games\\Quake2");

    EXPECT_EQ(CloseMainWindow(), 0);
    ASSERT_NE(ReopenMainWindow(), nullptr);
    EXPECT_STREQ(AsWide(app.config.gameDir), L"G:\\Games\\Quake2\\") << "the found directory is saved";
}

TEST_F(LauncherTest, TheSearchAsksAboutEachFindInListingOrderUntilOneIsAccepted) {
    // Listed in this order: a folder before the directory's own file, which the search looks into first.
    ASSERT_TRUE(MakeFile(L"G:\\Games\\Older\\QUAKE2.EXE"));
    ASSERT_TRUE(MakeFile(L"G:\\Games\\other.exe"));
    ASSERT_TRUE(MakeFile(L"G:\\Games\\quake2.exe"));
    ASSERT_TRUE(MakeFile(L"G:\\Games\\Zeta\\Quake2.Exe"));
    wchar_t found[PATH_TEXT_SIZE] = L"unchanged";
    {
        MessageBoxAnswerer boxes({IDNO, IDNO, IDYES});
        EXPECT_TRUE(FindGameExecutable(GAME_DRIVE, found));
        EXPECT_EQ(EachBox(boxes.Shown(), &ShownBox::text),
                  (Texts{QuestionFor(L"G:\\Games\\Older\\"), QuestionFor(L"G:\\Games\\"),
                         QuestionFor(L"G:\\Games\\Zeta\\")}));
        EXPECT_EQ(EachBox(boxes.Shown(), &ShownBox::caption), Texts(3, QUESTION_CAPTION));
        EXPECT_STREQ(found, L"G:\\Games\\Zeta\\");
    }
    MessageBoxAnswerer declined;
    wcscpy(found, L"unchanged");
    EXPECT_FALSE(FindGameExecutable(GAME_DRIVE, found));
    EXPECT_EQ(declined.Shown().size(), 3u);
    EXPECT_STREQ(found, L"unchanged");
    EXPECT_FALSE(FindGameExecutable(L"G:\\No such folder\\", found)) << "a folder that cannot be listed";
}

TEST_F(LauncherTest, DecliningEveryFindEndsInTheCantFindBox) {
    ASSERT_TRUE(PutTestGame(L"G:\\Games\\Quake2\\quake2.exe"));
    MessageBoxAnswerer boxes({IDNO, IDOK});
    DoubleClick(PointInRow(ServerRow(0)));

    EXPECT_TRUE(IsWindow(app.hMainDlg));
    EXPECT_EQ(EachBox(boxes.Shown(), &ShownBox::caption), (Texts{QUESTION_CAPTION, L"Can't find Quake II"}));
    ASSERT_EQ(boxes.Shown().size(), 2u);
    EXPECT_EQ(boxes.Shown()[1].text,
              L"Unable to find your Quake II executable!\r\n\r\nYou can't join a server until you have specified where "
              L"Quake II is on your system.\n\nTry setting the executable name manually in the config if you have a "
              L"different executable name.");
    EXPECT_EQ(RecordedStatusLines(),
              (Texts{L"Trying to find quake2.exe on C:\\...", L"Trying to find quake2.exe on G:\\...",
                     L"Couldn't find a Quake II executable!"}));
    EXPECT_STREQ(AsWide(app.config.gameDir), L"");
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
        wcscpy(AsWide(app.config.gameDir), c.gameDir);
        wcscpy(AsWide(app.config.gameExe), c.gameExe);
        RecordStatusLine();
        MessageBoxAnswerer boxes({IDOK});
        DoubleClick(PointInRow(ServerRow(1)));

        EXPECT_TRUE(IsWindow(app.hMainDlg));
        ShownBox box = OnlyBox(boxes);
        EXPECT_EQ(box.caption, c.caption);
        EXPECT_EQ(box.text.substr(0, c.textStart.size()), c.textStart);
        EXPECT_EQ(box.text.size() > c.textStart.size(), c.gameExe == std::wstring(L"Quake2"));
        EXPECT_EQ(RecordedStatusLines(), (Texts{L"Starting Quake II...", c.status}));
        EXPECT_STREQ(AsWide(app.config.gameDir), c.gameDir);
    }
}

TEST_F(LauncherTest, AnEntryPastThePathLimitEndsTheListingOfItsFolder) {
    // "G:\Deep\" and a 251-character name with its separator make 260 characters, one more than the search forms.
    const std::wstring tooLong = L"G:\\Deep\\" + std::wstring(251, L'a');
    ASSERT_TRUE(MakeFile(tooLong));
    ASSERT_TRUE(MakeFile(L"G:\\Deep\\quake2.exe"));
    ASSERT_TRUE(MakeFile(L"G:\\Later\\quake2.exe"));
    wchar_t found[PATH_TEXT_SIZE] = L"";
    {
        MessageBoxAnswerer boxes({IDYES});
        EXPECT_TRUE(FindGameExecutable(GAME_DRIVE, found));
        EXPECT_EQ(EachBox(boxes.Shown(), &ShownBox::text), Texts{QuestionFor(L"G:\\Later\\")})
            << "the parent's listing goes on";
    }
    // One character less fits, and the listing reaches the game.
    ASSERT_TRUE(DeleteFileW(tooLong.c_str()));
    ASSERT_TRUE(MakeFile(L"G:\\Deep\\" + std::wstring(250, L'a')));
    MessageBoxAnswerer boxes({IDYES});
    EXPECT_TRUE(FindGameExecutable(GAME_DRIVE, found));
    EXPECT_EQ(EachBox(boxes.Shown(), &ShownBox::text), Texts{QuestionFor(L"G:\\Deep\\")});
}

TEST_F(LauncherTest, ClicksBesideTheRowsDoNothing) {
    MenuChooser menus(-1);
    MessageBoxAnswerer boxes;
    RightClickList(app.hServerList, PointBesideTheRows());
    DoubleClick(PointBesideTheRows());

    EXPECT_TRUE(menus.Shown().empty());
    EXPECT_TRUE(boxes.Shown().empty());
    EXPECT_TRUE(RecordedStatusLines().empty());
    EXPECT_TRUE(IsWindow(app.hMainDlg));
}

TEST_F(LauncherTest, TheContextMenuOpensAtTheClickAndCopiesTheServerAddress) {
    SetClipboardText(L"before");
    POINT click = PointInRow(ServerRow(1));
    std::vector<ShownMenu> shown;
    {
        // Gone before the next menu, which only the dismissing watcher may answer.
        MenuChooser menus(1);
        RightClickList(app.hServerList, click);
        shown = menus.Shown();
    }
    ASSERT_EQ(shown.size(), 1u);
    const ShownMenu& menu = shown[0];
    EXPECT_EQ(menu.items, (std::vector<std::pair<std::wstring, UINT>>{{L"Connect", 1}, {L"Copy Server IP", 2}}));
    ClientToScreen(app.hServerList, &click);
    EXPECT_EQ(menu.topLeft.x, click.x);
    EXPECT_EQ(menu.topLeft.y, click.y);
    EXPECT_EQ(ClipboardText(), L"10.0.0.2:80");
    EXPECT_TRUE(IsWindow(app.hMainDlg));

    // Dismissed: nothing happens.
    MenuChooser dismissed(-1);
    RightClickList(app.hServerList, PointInRow(ServerRow(0)));
    EXPECT_EQ(dismissed.Shown().size(), 1u);
    EXPECT_EQ(ClipboardText(), L"10.0.0.2:80");
    EXPECT_TRUE(IsWindow(app.hMainDlg));
}

TEST_F(LauncherTest, ConnectInTheContextMenuJoinsTheClickedServer) {
    ASSERT_TRUE(PutTestGame(L"G:\\Quake2\\quake2.exe"));
    wcscpy(AsWide(app.config.gameDir), L"G:\\Quake2\\");
    MenuChooser menus(0);
    RightClickList(app.hServerList, PointInRow(ServerRow(1)));

    EXPECT_EQ(menus.Shown().size(), 1u);
    EXPECT_FALSE(IsWindow(app.hMainDlg));
    EXPECT_EQ(AwaitLaunchRecord(L"G:\\Quake2\\").commandLine, L"\"G:\\Quake2\\\\quake2.exe\" +connect \"10.0.0.2:80\"");
}

} // namespace
