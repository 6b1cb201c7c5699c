// The configuration dialog as a user meets it: the real template, opened by the Config button with the current
// values, left by OK, Enter or the close box (never by Escape), and what applying its fields does to the program.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "core/display/buddy_match.h"
#include "harness.h"
#include "picture.h"
#include "platform/win32/settings_key.h"
#include "platform/win32/wide.h"
#include "popup_answerer.h"
#include "resource.h"
#include "servers.h"
#include "simulator_masters.h"
#include "windows/app/main_window_settings.h"
#include "windows/dialogs/config_dialog.h"

namespace {

constexpr COLORREF YELLOW = RGB(255, 255, 0);
constexpr DWORD DIALOG_TIMEOUT_MS = 5000;

std::wstring FieldText(HWND dialog, int id) {
    return WindowText(GetDlgItem(dialog, id));
}

void SetField(HWND dialog, int id, const std::wstring& text) {
    SetDlgItemTextW(dialog, id, text.c_str());
}

HWND FindConfigDialog() {
    HWND dialog = FindWindowW(L"#32770", L"Config");
    DWORD process = 0;
    GetWindowThreadProcessId(dialog, &process);
    return dialog && process == GetCurrentProcessId() && IsWindowVisible(dialog) ? dialog : nullptr;
}

// Clicks Config and, while the modal dialog runs on this thread, hands it to `act` on a watcher thread, as a user's
// hands. A dialog still open 5 s after `act` is closed with the close box; returns false then, or when none opened.
bool UseConfigDialog(const std::function<void(HWND dialog)>& act) {
    PopupWatcher<bool> watcher([&act](PopupWatcher<bool>& self) {
        HWND dialog = FindConfigDialog();
        if (!dialog || !self.Shown().empty()) {
            return;
        }
        self.Record(true);
        act(dialog);
        if (!AwaitWindowGone(dialog, DIALOG_TIMEOUT_MS)) {
            self.Record(false);
            PostMessageW(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
        }
    });
    SendMessageW(GetDlgItem(App().hMainDlg, IDC_CONFIG), BM_CLICK, 0, 0);
    return watcher.Shown() == std::vector<bool>{true};
}

class ConfigDialogTest : public OpenWindowTest {
protected:
    void TearDown() override {
        if (modeless_) {
            DestroyWindow(modeless_);
        }
        OpenWindowTest::TearDown();
    }

    // The dialog made from its template with the current configuration, without running it modally, for the cases
    // of reading its fields and applying them.
    HWND Modeless() {
        values_ = App().session.config;
        modeless_ = CreateDialogParamW(App().hInstance, MAKEINTRESOURCEW(IDD_CONFIG), App().hMainDlg, ConfigDlgProc,
                                       reinterpret_cast<LPARAM>(&values_));
        return modeless_;
    }

    // What closing the dialog and the Config button's end do with its fields; false, applying nothing, when the
    // dialog would stay open with `error` shown.
    bool Apply(HWND dialog, std::u16string* error = nullptr) {
        values_ = App().session.config;
        std::u16string message;
        if (!ReadConfigFields(dialog, values_, &message)) {
            if (error) {
                *error = message;
            }
            return false;
        }
        ApplyConfiguration(App(), values_);
        return true;
    }

    HWND modeless_ = nullptr;
    Configuration values_{};
};

// How wide the control's text, or another, is in its own font, in pixels.
int TextWidth(HWND control, const std::wstring& text = {}) {
    return TextWidthIn(control, text.empty() ? WindowText(control) : text);
}

int ClientWidth(HWND control) {
    RECT client;
    GetClientRect(control, &client);
    return client.right;
}

struct ExpectedControl {
    int id;
    const wchar_t* className;
    const wchar_t* text;
    RECT dialogUnits; // x, y, width, height
    DWORD styles;     // bits that must be set
};

TEST_F(ConfigDialogTest, TheTemplateHasEveryControlInItsPlaceAndOrder) {
    HWND dialog = Modeless();
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(WindowText(dialog), L"Config");
    DWORD dialogStyle = static_cast<DWORD>(GetWindowLongPtrW(dialog, GWL_STYLE));
    EXPECT_EQ(dialogStyle & (WS_POPUP | WS_CAPTION | WS_SYSMENU),
              static_cast<DWORD>(WS_POPUP | WS_CAPTION | WS_SYSMENU));
    EXPECT_TRUE(GetWindowLongPtrW(dialog, GWL_EXSTYLE) & WS_EX_DLGMODALFRAME);
    RECT size{0, 0, 273, 266};
    MapDialogRect(dialog, &size);
    RECT client;
    GetClientRect(dialog, &client);
    EXPECT_EQ(client.right, size.right);
    EXPECT_EQ(client.bottom, size.bottom);
    LOGFONTW font{};
    GetObjectW(reinterpret_cast<HFONT>(SendMessageW(dialog, WM_GETFONT, 0, 0)), sizeof font, &font);
    EXPECT_STREQ(font.lfFaceName, L"MS Shell Dlg");

    const DWORD edit = WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL;
    const DWORD label = SS_LEFT | WS_GROUP;
    const std::vector<ExpectedControl> expected = {
        {IDC_CONFIG_GAME_DIR, L"Edit", L"", {7, 17, 183, 14}, edit},
        {IDC_CONFIG_GAME_EXE, L"Edit", L"", {7, 45, 183, 14}, edit},
        {0xFFFF, L"Static", L"Game Path", {7, 7, 102, 8}, label},
        {0xFFFF, L"Static", L"Game Executable", {7, 35, 102, 9}, label},
        {0xFFFF, L"Static", L"Buddy List (one per line)", {7, 64, 183, 8}, label},
        {IDC_CONFIG_BUDDIES, L"Edit", L"", {7, 74, 183, 59}, edit | ES_MULTILINE | ES_WANTRETURN | WS_VSCROLL},
        {0xFFFF, L"Static", L"Queries Per Second", {198, 7, 72, 8}, label},
        {IDC_CONFIG_QUERY_RATE, L"Edit", L"", {198, 17, 68, 14}, edit | ES_NUMBER},
        {0xFFFF, L"Static", L"Good ping value", {198, 36, 72, 8}, label},
        {IDC_CONFIG_GOOD_PING, L"Edit", L"", {198, 45, 68, 14}, edit | ES_NUMBER},
        {0xFFFF, L"Static", L"Medium ping value", {198, 64, 72, 8}, label},
        {IDC_CONFIG_MEDIUM_PING, L"Edit", L"", {198, 73, 68, 14}, edit | ES_NUMBER},
        {IDC_CONFIG_SEARCH_LAN, L"Button", L"Search the LAN", {198, 96, 68, 10}, BS_AUTOCHECKBOX | WS_TABSTOP},
        {0xFFFF, L"Static", L"Master Servers (one per line)", {7, 140, 259, 8}, label},
        {IDC_CONFIG_MASTERS,
         L"Edit",
         L"",
         {7, 150, 259, 51},
         edit | ES_MULTILINE | ES_WANTRETURN | ES_AUTOVSCROLL | WS_VSCROLL},
        {0xFFFF, L"Static", L"Refresh every", {7, 211, 48, 8}, label},
        {IDC_CONFIG_REFRESH, L"Edit", L"", {56, 208, 30, 14}, edit | ES_NUMBER},
        {0xFFFF, L"Static", L"minutes (empty: never; at least 5)", {90, 211, 176, 8}, label},
        {IDC_CONFIG_KEEP_IN_TRAY, L"Button", L"Keep running in the notification area when closed", {7, 226, 259, 10},
         BS_AUTOCHECKBOX | WS_TABSTOP},
        {IDC_CONFIG_BUDDY_ALERTS, L"Button", L"Tell me when buddies play", {7, 239, 259, 10},
         BS_AUTOCHECKBOX | WS_TABSTOP},
        {IDC_CONFIG_KEEP_HISTORY, L"Button", L"Keep server history", {7, 252, 259, 10}, BS_AUTOCHECKBOX | WS_TABSTOP},
        {IDOK, L"Button", L"OK", {204, 119, 50, 14}, BS_PUSHBUTTON | WS_TABSTOP},
    };
    std::vector<RECT> placed;
    HWND control = GetWindow(dialog, GW_CHILD);
    for (const ExpectedControl& want : expected) {
        ASSERT_NE(control, nullptr) << "missing " << testing::PrintToString(std::wstring(want.text));
        SCOPED_TRACE(testing::Message() << "control " << want.id << " "
                                        << testing::PrintToString(std::wstring(want.text)));
        EXPECT_EQ(GetDlgCtrlID(control) & 0xFFFF, want.id);
        wchar_t className[32];
        GetClassNameW(control, className, 32);
        EXPECT_STREQ(className, want.className);
        if (want.className == std::wstring(L"Static") || want.className == std::wstring(L"Button")) {
            EXPECT_EQ(WindowText(control), want.text);
        }
        // Position and size are converted to pixels each on its own, as the dialog manager does.
        RECT place = want.dialogUnits;
        MapDialogRect(dialog, &place);
        RECT actual;
        GetWindowRect(control, &actual);
        MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&actual), 2);
        EXPECT_EQ(actual.left, place.left);
        EXPECT_EQ(actual.top, place.top);
        EXPECT_EQ(actual.right - actual.left, place.right);
        EXPECT_EQ(actual.bottom - actual.top, place.bottom);
        EXPECT_LE(actual.right, client.right) << "reaches past the dialog";
        EXPECT_LE(actual.bottom, client.bottom) << "reaches past the dialog";
        for (const RECT& other : placed) {
            RECT overlap;
            EXPECT_FALSE(IntersectRect(&overlap, &actual, &other)) << "overlaps an earlier control";
        }
        placed.push_back(actual);
        if (want.id == 0xFFFF) {
            EXPECT_LE(TextWidth(control), ClientWidth(control)) << "the label is cut";
        }
        if ((want.styles & BS_TYPEMASK) == BS_AUTOCHECKBOX) {
            EXPECT_LE(TextWidth(control) + GetSystemMetrics(SM_CXMENUCHECK) + GetSystemMetrics(SM_CXEDGE),
                      ClientWidth(control))
                << "the check box's text is cut";
        }
        if (want.id == IDC_CONFIG_MASTERS) {
            EXPECT_LE(TextWidth(control, L"http://master.quake2.example.net:27900"), ClientWidth(control))
                << "a long master does not fit on its line";
        }
        DWORD style = static_cast<DWORD>(GetWindowLongPtrW(control, GWL_STYLE));
        // An edit control draws its border as a sunken client edge.
        if (GetWindowLongPtrW(control, GWL_EXSTYLE) & WS_EX_CLIENTEDGE) {
            style |= WS_BORDER;
        }
        EXPECT_EQ(style & want.styles, want.styles);
        control = GetWindow(control, GW_HWNDNEXT);
    }
    EXPECT_EQ(control, nullptr) << "no Cancel button or other control";
}

TEST_F(ConfigDialogTest, OpensWithTheCurrentValuesAndOkAppliesTheEdits) {
    wcscpy(AsWide(App().session.config.gameDir), L"G:\\Games\\Quake2\\");
    wcscpy(AsWide(App().session.config.gameExe), L"q2.exe");
    App().session.config.packetsPerSecond = 25;
    App().session.config.goodPing = -80;
    App().session.config.mediumPing = 160;
    SetBuddyText(L"bob\r\nalice");
    App().session.config.masters.resize(2);
    ASSERT_EQ(ParseMasterEntry(u"http://master.example.net:8080", &App().session.config.masters[0]), MasterFault::None);
    ASSERT_EQ(ParseMasterEntry(u"q2master.example.org", &App().session.config.masters[1]), MasterFault::None);
    std::vector<std::wstring> shown;
    HWND focused = nullptr;
    bool savedPicture = false;
    UINT searchLanShown = BST_INDETERMINATE;
    bool closed = UseConfigDialog([&](HWND dialog) {
        searchLanShown = IsDlgButtonChecked(dialog, IDC_CONFIG_SEARCH_LAN);
        for (int id : {IDC_CONFIG_GAME_DIR, IDC_CONFIG_GAME_EXE, IDC_CONFIG_QUERY_RATE, IDC_CONFIG_GOOD_PING,
                       IDC_CONFIG_MEDIUM_PING, IDC_CONFIG_BUDDIES, IDC_CONFIG_MASTERS}) {
            shown.push_back(FieldText(dialog, id));
        }
        GUITHREADINFO gui{};
        gui.cbSize = sizeof gui;
        GetGUIThreadInfo(GetWindowThreadProcessId(dialog, nullptr), &gui);
        focused = gui.hwndFocus == GetDlgItem(dialog, IDC_CONFIG_GAME_DIR) ? gui.hwndFocus : nullptr;
        RedrawWindow(dialog, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
        CreateDirectoryW(L"screenshots", nullptr);
        savedPicture = WriteBitmap(SettledCapture(dialog), L"screenshots\\config.bmp");
        SetField(dialog, IDC_CONFIG_GAME_DIR, L"G:\\Other");
        SetField(dialog, IDC_CONFIG_GAME_EXE, L"quake2.exe");
        SetField(dialog, IDC_CONFIG_QUERY_RATE, L"50");
        SetField(dialog, IDC_CONFIG_GOOD_PING, L"90");
        SetField(dialog, IDC_CONFIG_MEDIUM_PING, L"180");
        SetField(dialog, IDC_CONFIG_BUDDIES, L"carol\r\ndave\r\n");
        SetField(dialog, IDC_CONFIG_MASTERS, L"  q2master.example.org:27950\r\n\r\n");
        SendMessageW(GetDlgItem(dialog, IDC_CONFIG_SEARCH_LAN), BM_CLICK, 0, 0);
        SendMessageW(GetDlgItem(dialog, IDOK), BM_CLICK, 0, 0);
    });
    EXPECT_TRUE(closed);
    EXPECT_EQ(searchLanShown, static_cast<UINT>(BST_CHECKED)) << "the LAN is searched by default";
    EXPECT_FALSE(App().session.config.searchLan) << "a click turned it off";
    EXPECT_EQ(shown,
              (std::vector<std::wstring>{L"G:\\Games\\Quake2\\", L"q2.exe", L"25", L"-80", L"160", L"bob\r\nalice",
                                         L"http://master.example.net:8080\r\nq2master.example.org"}));
    EXPECT_NE(focused, nullptr) << "focus starts in Game Path";
    EXPECT_TRUE(savedPicture);
    EXPECT_STREQ(AsWide(App().session.config.gameDir), L"G:\\Other\\");
    EXPECT_STREQ(AsWide(App().session.config.gameExe), L"quake2.exe");
    EXPECT_EQ(App().session.config.packetsPerSecond, 50);
    EXPECT_EQ(App().session.config.goodPing, 90);
    EXPECT_EQ(App().session.config.mediumPing, 180);
    EXPECT_EQ(App().session.config.buddyText, u"carol\r\ndave\r\n");
    ASSERT_EQ(App().buddies.names.size(), 2u);
    EXPECT_EQ(std::u16string(App().buddies.names[0].text), u"carol");
    EXPECT_EQ(std::u16string(App().buddies.names[1].text), u"dave");
    ASSERT_EQ(App().session.config.masters.size(), 1u);
    EXPECT_EQ(FormatMasterEntry(App().session.config.masters[0]), u"q2master.example.org:27950");
}

TEST_F(ConfigDialogTest, EnterAndTheCloseBoxApplyAndEscapeDoesNothing) {
    bool stayedAfterEscape = false;
    std::wstring dirAfterEscape;
    EXPECT_TRUE(UseConfigDialog([&](HWND dialog) {
        HWND field = GetDlgItem(dialog, IDC_CONFIG_GAME_DIR);
        SetField(dialog, IDC_CONFIG_GAME_DIR, L"G:\\Escaped");
        PostKey(field, VK_ESCAPE);
        stayedAfterEscape = !AwaitWindowGone(dialog, 300);
        dirAfterEscape = AsWide(App().session.config.gameDir);
        SetField(dialog, IDC_CONFIG_GAME_DIR, L"G:\\Entered");
        PostKey(field, VK_RETURN);
    }));
    EXPECT_TRUE(stayedAfterEscape);
    EXPECT_EQ(dirAfterEscape, L"");
    EXPECT_STREQ(AsWide(App().session.config.gameDir), L"G:\\Entered\\");

    EXPECT_TRUE(UseConfigDialog([](HWND dialog) {
        SetField(dialog, IDC_CONFIG_GAME_EXE, L"closed.exe");
        PostMessageW(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
    }));
    EXPECT_STREQ(AsWide(App().session.config.gameExe), L"closed.exe");
    EXPECT_STREQ(AsWide(App().session.config.gameDir), L"G:\\Entered\\")
        << "reopened with the applied value, kept as it was";
}

// The message box the dialog shows over itself: its text once it is up (and its picture in screenshots/), after which
// OK is clicked and the box waited out; empty when none came.
std::wstring AnswerMastersBox() {
    HWND box = nullptr;
    for (DWORD start = GetTickCount(); !box && GetTickCount() - start < DIALOG_TIMEOUT_MS; Sleep(10)) {
        box = FindWindowW(L"#32770", L"Master Servers");
        box = box && IsWindowVisible(box) ? box : nullptr;
    }
    if (!box) {
        return L"";
    }
    std::wstring text = WindowText(GetDlgItem(box, 0xFFFF));
    CreateDirectoryW(L"screenshots", nullptr);
    WriteBitmap(CaptureWindow(box), L"screenshots\\config-bad-master.bmp");
    PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(box, IDOK)));
    AwaitWindowGone(box);
    return text;
}

TEST_F(ConfigDialogTest, AMasterThatIsNotOneIsShownAndKeepsTheDialogOpenWithTheBoxFocusedAndNothingApplied) {
    struct Attempt {
        std::wstring message;
        bool stayed;
        bool boxFocused;
        std::wstring gameExe;
    };
    std::vector<Attempt> attempts;
    // A click on OK and the close box, each posted: the box it shows holds the dialog's thread until it is answered.
    const UINT closers[][2] = {{WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED)}, {WM_SYSCOMMAND, SC_CLOSE}};
    EXPECT_TRUE(UseConfigDialog([&](HWND dialog) {
        SetField(dialog, IDC_CONFIG_GAME_EXE, L"changed.exe");
        SetField(dialog, IDC_CONFIG_MASTERS, L"http://ok.example\r\nftp://master.example\r\n");
        for (const auto& closer : closers) {
            PostMessageW(dialog, closer[0], closer[1], 0);
            Attempt attempt;
            attempt.message = AnswerMastersBox();
            attempt.stayed = !AwaitWindowGone(dialog, 300);
            GUITHREADINFO gui{};
            gui.cbSize = sizeof gui;
            GetGUIThreadInfo(GetWindowThreadProcessId(dialog, nullptr), &gui);
            attempt.boxFocused = gui.hwndFocus == GetDlgItem(dialog, IDC_CONFIG_MASTERS);
            attempt.gameExe = AsWide(App().session.config.gameExe);
            attempts.push_back(attempt);
        }
        SetField(dialog, IDC_CONFIG_MASTERS, L"http://ok.example");
        SendMessageW(GetDlgItem(dialog, IDOK), BM_CLICK, 0, 0);
    }));
    ASSERT_EQ(attempts.size(), 2u);
    for (const Attempt& attempt : attempts) {
        const std::wstring said = L"Line 2: \"ftp://master.example\" is not a master: " +
                                  std::wstring(AsWide(MasterFaultText(MasterFault::Scheme))) + L".\n\n";
        EXPECT_EQ(attempt.message.substr(0, said.size()), said);
        EXPECT_NE(attempt.message.find(L"\nhttp://HOST[:PORT]/PATH[?QUERY]\n"), std::wstring::npos)
            << "and how each kind of line is asked";
        EXPECT_TRUE(attempt.stayed);
        EXPECT_TRUE(attempt.boxFocused);
        EXPECT_EQ(attempt.gameExe, L"quake2.exe") << "nothing is applied";
    }
    EXPECT_STREQ(AsWide(App().session.config.gameExe), L"changed.exe");
    ASSERT_EQ(App().session.config.masters.size(), 1u);
    EXPECT_EQ(FormatMasterEntry(App().session.config.masters[0]), u"http://ok.example");
}

TEST_F(ConfigDialogTest, TheMastersAreReadOnePerLineAndTheBuildsDefaultIsKeptAsNone) {
    if (!BuildAsksTheSimulator()) {
        GTEST_SKIP() << NEEDS_A_FIRST_START;
    }
    HWND dialog = Modeless();
    ASSERT_NE(dialog, nullptr);
    const std::u16string defaults = FormatMasterListText(DefaultMasters());
    EXPECT_EQ(FieldText(dialog, IDC_CONFIG_MASTERS), AsWide(defaults.c_str())) << "none set: the default is shown";
    std::wstring seventeen;
    for (int i = 0; i < 17; ++i) {
        seventeen += L"m" + std::to_wstring(i) + L".example\r\n";
    }
    using Texts = std::vector<std::u16string>;
    Texts defaultsAndOne;
    for (const MasterEntry& entry : DefaultMasters()) {
        defaultsAndOne.push_back(FormatMasterEntry(entry));
    }
    defaultsAndOne.push_back(u"b.example");
    const struct {
        std::wstring text;
        bool read;
        Texts masters;        // as the configuration keeps them
        std::wstring message; // the start of the message when not read
    } CASES[] = {
        {AsWide(defaults.c_str()), true, {}, L""},
        {L"  \t\r\n\r\n", true, {}, L""},
        {L"\r\n " + std::wstring(AsWide(defaults.c_str())) + L"\t\r\n", true, {}, L""},
        {L"b.example\r\nhttp://a.example:8080\r\nB.EXAMPLE:27900", true, {u"b.example", u"http://a.example:8080"}, L""},
        {L"http://q2servers.com/?raw=2\r\nhttp://q2servers.com/",
         true,
         {u"http://q2servers.com/?raw=2", u"http://q2servers.com"},
         L""},
        {std::wstring(AsWide(defaults.c_str())) + L"\r\nb.example", true, defaultsAndOne, L""},
        {L"http://a.example\r\nhttp://[::1]\r\n", false, {u"keep.example"}, L"Line 2: "},
        {seventeen, false, {u"keep.example"}, L"Line 17: at most 16 masters"},
    };
    for (const auto& c : CASES) {
        SCOPED_TRACE(testing::PrintToString(c.text));
        App().session.config.masters.resize(1);
        ASSERT_EQ(ParseMasterEntry(u"keep.example", &App().session.config.masters[0]), MasterFault::None);
        SetField(dialog, IDC_CONFIG_MASTERS, c.text);
        std::u16string error;
        EXPECT_EQ(Apply(dialog, &error), c.read);
        Texts masters;
        for (const MasterEntry& entry : App().session.config.masters) {
            masters.push_back(FormatMasterEntry(entry));
        }
        if (c.read) {
            EXPECT_EQ(masters, c.masters);
        } else {
            EXPECT_EQ(masters, Texts{u"keep.example"});
            EXPECT_EQ(std::wstring(AsWide(error.c_str())).substr(0, c.message.size()), c.message);
        }
    }

    // Saved at exit: a list of the user's own is stored, and the default shown and taken again removes it.
    auto stored = [] {
        DWORD size = 0;
        return RegGetValueW(HKEY_CURRENT_USER, SETTINGS_KEY, L"Master Servers", RRF_RT_REG_MULTI_SZ, nullptr, nullptr,
                            &size) == ERROR_SUCCESS;
    };
    // A classic master where none answers, so the start-up run that follows stays on loopback.
    SetField(dialog, IDC_CONFIG_MASTERS, L"127.0.0.1:27950");
    ASSERT_TRUE(Apply(dialog));
    CloseMainWindow();
    EXPECT_TRUE(stored());
    ASSERT_NE(ReopenMainWindow(), nullptr);
    dialog = Modeless();
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(FieldText(dialog, IDC_CONFIG_MASTERS), L"127.0.0.1:27950");
    SetField(dialog, IDC_CONFIG_MASTERS, AsWide(defaults.c_str()));
    ASSERT_TRUE(Apply(dialog));
    CloseMainWindow();
    EXPECT_FALSE(stored());
}

TEST_F(ConfigDialogTest, ApplyingCutsPathsEndsTheGamePathInABackslashAndValidatesTheSignedNumbers) {
    HWND dialog = Modeless();
    ASSERT_NE(dialog, nullptr);
    const std::wstring longText(300, L'x');
    struct Case {
        std::wstring dirField, exeField, numberField;
        std::wstring gameDir, gameExe;
        int32_t rate, goodPing, mediumPing;
    };
    // Empty or not a number reads as 0, which takes the default at once, as does an empty executable name and a
    // negative threshold; a negative rate is the slowest pacing, 1 a second.
    const std::vector<Case> cases = {
        {L"G:\\Games", L"q2.exe", L"15", L"G:\\Games\\", L"q2.exe", 15, 15, 15},
        {L"G:\\Games\\", L"q2.exe", L"-7", L"G:\\Games\\", L"q2.exe", 1, 100, 200},
        {L"", L"", L"", L"", L"quake2.exe", DEFAULT_PACKETS_PER_SECOND, 100, 200},
        {L"", L"", L"ab12", L"", L"quake2.exe", DEFAULT_PACKETS_PER_SECOND, 100, 200},
        {longText, longText, L"99999999999", longText.substr(0, 258) + L"\\", longText.substr(0, 258),
         DEFAULT_PACKETS_PER_SECOND, 100, 200},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.dirField));
        SetField(dialog, IDC_CONFIG_GAME_DIR, c.dirField);
        SetField(dialog, IDC_CONFIG_GAME_EXE, c.exeField);
        for (int id : {IDC_CONFIG_QUERY_RATE, IDC_CONFIG_GOOD_PING, IDC_CONFIG_MEDIUM_PING, IDC_CONFIG_REFRESH}) {
            SetField(dialog, id, c.numberField);
        }
        Apply(dialog);
        EXPECT_EQ(std::wstring(AsWide(App().session.config.gameDir)), c.gameDir);
        EXPECT_EQ(std::wstring(AsWide(App().session.config.gameExe)), c.gameExe);
        EXPECT_EQ(App().session.config.packetsPerSecond, c.rate);
        EXPECT_EQ(App().session.config.goodPing, c.goodPing);
        EXPECT_EQ(App().session.config.mediumPing, c.mediumPing);
        // The refresh: minutes; a negative or unreadable number is never.
        EXPECT_EQ(App().session.config.refreshMinutes, c.rate == 15 ? 15 : 0);
    }
    // More often than the lists' services bear is raised to the least interval, a day is the most.
    for (const auto& [field, minutes] : {std::pair{L"3", MIN_REFRESH_MINUTES}, {L"5000", MAX_REFRESH_MINUTES}}) {
        SetField(dialog, IDC_CONFIG_REFRESH, field);
        Apply(dialog);
        EXPECT_EQ(App().session.config.refreshMinutes, minutes);
    }
}

TEST_F(ConfigDialogTest, ANewBuddyIsHighlightedInBothListsBeforeApplyingReturns) {
    SetCheckBox(IDC_SHOW_FULL, true);
    SetCheckBox(IDC_SHOW_EMPTY, true);
    // Two server rows, four player rows: the buddy's row lies beyond the server list's row count. The selected
    // server's row shows the selection's colour; the other one is the row to watch.
    LoadServerTable(2);
    TestServer selected;
    selected.players = {{1, 10, "alice"}, {2, 20, "bob"}, {3, 30, "carol"}, {4, 40, "dave"}};
    FeedServer(0, selected);
    TestServer other;
    other.players = {{5, 50, "dave"}};
    FeedServer(1, other);
    int selectedRow = ServerRow(0);
    ListView_SetItemState(App().servers.list, selectedRow, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    ASSERT_EQ(ListRowCount(App().players.list), 4);
    SendMessageW(App().players.list, LVM_SETVIEW, LV_VIEW_DETAILS, 0);
    RedrawWindow(App().hMainDlg, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    ScreenPicture before = PrintedClient(App().servers.list);
    EXPECT_EQ(before.Count(before.area, YELLOW), 0);

    HWND dialog = Modeless();
    ASSERT_NE(dialog, nullptr);
    SetField(dialog, IDC_CONFIG_BUDDIES, L"zed\r\ndave");
    Apply(dialog);
    // Painted already: nothing of either list is left waiting for a paint.
    EXPECT_FALSE(GetUpdateRect(App().servers.list, nullptr, FALSE));
    EXPECT_FALSE(GetUpdateRect(App().players.list, nullptr, FALSE));
    ASSERT_EQ(App().buddies.names.size(), 2u);
    ScreenPicture servers = PrintedClient(App().servers.list);
    ScreenPicture players = PrintedClient(App().players.list);
    RECT otherRow{};
    otherRow.left = LVIR_BOUNDS;
    SendMessageW(App().servers.list, LVM_GETITEMRECT, 1 - selectedRow, reinterpret_cast<LPARAM>(&otherRow));
    MapWindowPoints(App().servers.list, nullptr, reinterpret_cast<POINT*>(&otherRow), 2);
    EXPECT_GT(servers.Count(otherRow, YELLOW), 200);
    RECT daveRow{};
    daveRow.left = LVIR_BOUNDS;
    SendMessageW(App().players.list, LVM_GETITEMRECT, 3, reinterpret_cast<LPARAM>(&daveRow));
    MapWindowPoints(App().players.list, nullptr, reinterpret_cast<POINT*>(&daveRow), 2);
    EXPECT_GT(players.Count(daveRow, YELLOW), 200);
    EXPECT_EQ(players.Count(players.area, YELLOW), players.Count(daveRow, YELLOW)) << "only dave's row";
}

} // namespace
