// The main dialog as a user sees it: template, controls, status bar and the orderly end.
#include <windows.h>
#include <commctrl.h>
#include <shlwapi.h>

#include <gtest/gtest.h>

#include <cwctype>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "core/run/remembered_files.h"
#include "core/version.h"
#include "harness.h"
#include "picture.h"
#include "platform/win32/wide.h"
#include "popup_answerer.h"
#include "resource.h"
#include "windows/app/main_window.h"
#include "windows/app/main_window_views.h"
#include "windows/dialogs/about_box.h"
#include "windows/views/status_bar.h"

namespace {

using MainWindowTest = OpenWindowTest;

// What a DLGTEMPLATEEX resource says about the dialog and each of its controls.
struct TemplateItem {
    DWORD style;
    DWORD id;
};

struct DialogTemplate {
    DWORD style;
    short cx, cy;
    std::wstring title;
    WORD pointSize;
    std::wstring typeface;
    std::vector<TemplateItem> items;
};

const WORD* SkipSzOrOrd(const WORD* p) {
    if (*p == 0xFFFF) {
        return p + 2;
    }
    while (*p) {
        ++p;
    }
    return p + 1;
}

const WORD* AlignToDword(const WORD* p) {
    return reinterpret_cast<const WORD*>((reinterpret_cast<UINT_PTR>(p) + 3) & ~UINT_PTR(3));
}

DialogTemplate ReadDialogTemplate(int id) {
    HRSRC resource = FindResourceW(nullptr, MAKEINTRESOURCEW(id), reinterpret_cast<LPCWSTR>(RT_DIALOG));
    EXPECT_NE(resource, nullptr);
    const WORD* p = static_cast<const WORD*>(LockResource(LoadResource(nullptr, resource)));
    DialogTemplate dialog{};
    EXPECT_EQ(p[0], 1) << "DLGTEMPLATEEX version";
    EXPECT_EQ(p[1], 0xFFFF) << "DLGTEMPLATEEX signature";
    const DWORD* dwords = reinterpret_cast<const DWORD*>(p + 2);
    dialog.style = dwords[2];
    p = reinterpret_cast<const WORD*>(dwords + 3);
    WORD itemCount = p[0];
    dialog.cx = static_cast<short>(p[3]);
    dialog.cy = static_cast<short>(p[4]);
    p = SkipSzOrOrd(p + 5); // menu
    p = SkipSzOrOrd(p);     // window class
    dialog.title = reinterpret_cast<const wchar_t*>(p);
    p += dialog.title.size() + 1;
    dialog.pointSize = p[0];
    dialog.typeface = reinterpret_cast<const wchar_t*>(p + 3); // after weight, italic and charset
    p += 3 + dialog.typeface.size() + 1;
    for (WORD i = 0; i < itemCount; ++i) {
        p = AlignToDword(p);
        const DWORD* item = reinterpret_cast<const DWORD*>(p);
        // helpID, exStyle, style, then x, y, cx, cy as shorts, then the id.
        dialog.items.push_back({item[2], item[5]});
        p = SkipSzOrOrd(reinterpret_cast<const WORD*>(item + 6)); // class
        p = SkipSzOrOrd(p);                                       // title
        p += 1 + *p / sizeof(WORD);                               // creation data
    }
    return dialog;
}

TEST(MainTemplate, IsTheResizableHiddenSkerrowWindow) {
    DialogTemplate dialog = ReadDialogTemplate(IDD_MAIN);
    EXPECT_EQ(dialog.cx, 457);
    EXPECT_EQ(dialog.cy, 258);
    EXPECT_EQ(dialog.title, L"Skerrow");
    EXPECT_EQ(dialog.pointSize, 8);
    EXPECT_EQ(dialog.typeface, L"MS Shell Dlg");
    const DWORD frame = WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX;
    EXPECT_EQ(dialog.style & frame, frame);
    EXPECT_EQ(dialog.style & (WS_VISIBLE | WS_POPUP | WS_CHILD), 0u) << "an overlapped window, hidden at creation";
}

struct ExpectedControl {
    int id;
    const wchar_t* className;
    const wchar_t* caption;
    RECT units; // x, y, width, height in dialog units
    DWORD styleMask;
    DWORD style;
};

constexpr DWORD BUTTON_TYPE = 0x0F;
const DWORD SERVER_LIST_STYLE = LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS | LVS_SHAREIMAGELISTS | LVS_ALIGNLEFT |
                                LVS_OWNERDATA | WS_BORDER | WS_TABSTOP;
const DWORD PLAYER_LIST_STYLE = LVS_LIST | LVS_SINGLESEL | LVS_SHAREIMAGELISTS | LVS_ALIGNLEFT | WS_BORDER | WS_TABSTOP;
const DWORD LIST_MASK = LVS_TYPEMASK | LVS_SINGLESEL | LVS_SHOWSELALWAYS | LVS_SHAREIMAGELISTS | LVS_ALIGNMASK |
                        LVS_OWNERDATA | LVS_NOCOLUMNHEADER | LVS_SORTASCENDING | LVS_SORTDESCENDING | WS_BORDER |
                        WS_TABSTOP;
const DWORD COMBO_MASK = 0x0F | CBS_SORT | WS_VSCROLL | WS_TABSTOP;

const ExpectedControl MAIN_CONTROLS[] = {
    {IDC_SERVERS_GROUP, L"Button", L"Servers", {0, 0, 456, 140}, BUTTON_TYPE, BS_GROUPBOX},
    {IDC_SERVER_LIST, L"SysListView32", L"", {9, 11, 439, 125}, LIST_MASK, SERVER_LIST_STYLE},
    {IDC_PLAYERS_GROUP, L"Button", L"Players", {0, 144, 213, 101}, BUTTON_TYPE, BS_GROUPBOX},
    {IDC_PLAYER_LIST, L"SysListView32", L"", {9, 156, 197, 84}, LIST_MASK, PLAYER_LIST_STYLE},
    {IDC_CONTROLS_GROUP, L"Button", L"Controls", {217, 144, 239, 101}, BUTTON_TYPE, BS_GROUPBOX},
    {IDC_UPDATE, L"Button", L"Update", {398, 157, 50, 14}, BUTTON_TYPE | WS_TABSTOP, BS_PUSHBUTTON | WS_TABSTOP},
    {IDC_CONFIG, L"Button", L"Config", {398, 202, 50, 14}, BUTTON_TYPE | WS_TABSTOP, BS_PUSHBUTTON | WS_TABSTOP},
    {IDC_EXIT, L"Button", L"Exit", {398, 224, 50, 14}, BUTTON_TYPE | WS_TABSTOP, BS_PUSHBUTTON | WS_TABSTOP},
    {IDC_FILTERS_GROUP, L"Button", L"Server Filters", {223, 153, 169, 85}, BUTTON_TYPE, BS_GROUPBOX},
    {IDC_MOD_LABEL, L"Static", L"Mod", {229, 164, 18, 8}, SS_TYPEMASK, SS_LEFT},
    {IDC_MOD_FILTER,
     L"ComboBox",
     L"",
     {228, 174, 68, 46},
     COMBO_MASK,
     CBS_DROPDOWNLIST | CBS_SORT | WS_VSCROLL | WS_TABSTOP},
    {IDC_SHOW_FULL, L"Button", L"Full", {229, 223, 29, 10}, BUTTON_TYPE, BS_AUTOCHECKBOX},
    {IDC_SHOW_EMPTY, L"Button", L"Empty", {269, 223, 49, 10}, BUTTON_TYPE, BS_AUTOCHECKBOX},
    {IDC_SEARCH_LABEL, L"Static", L"Search", {229, 192, 40, 8}, SS_TYPEMASK, SS_LEFT},
    {IDC_SEARCH,
     L"Edit",
     L"",
     {228, 202, 158, 14},
     ES_AUTOHSCROLL | ES_MULTILINE | WS_BORDER | WS_TABSTOP,
     ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP},
    {IDC_SHOW_LABEL, L"Static", L"Show", {302, 164, 40, 8}, SS_TYPEMASK, SS_LEFT},
    {IDC_SHOW, L"ComboBox", L"All servers", {301, 174, 85, 60}, COMBO_MASK, CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP},
};

// Where the dialog manager puts a control: origin and size are converted separately.
RECT DialogUnitsToPixels(const RECT& units) {
    RECT mapped = units;
    MapDialogRect(App().hMainDlg, &mapped);
    return {mapped.left, mapped.top, mapped.left + mapped.right, mapped.top + mapped.bottom};
}

RECT ClientRectOf(HWND control) {
    RECT rect;
    GetWindowRect(control, &rect);
    MapWindowPoints(HWND_DESKTOP, App().hMainDlg, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

TEST_F(MainWindowTest, ShowsTheSkerrowWindowWithItsTemplateSize) {
    EXPECT_TRUE(IsWindowVisible(App().hMainDlg));
    EXPECT_EQ(WindowText(App().hMainDlg), L"Skerrow");
    RECT client;
    GetClientRect(App().hMainDlg, &client);
    RECT expected = DialogUnitsToPixels({0, 0, 457, 258});
    EXPECT_EQ(client.right, expected.right);
    EXPECT_EQ(client.bottom, expected.bottom);
}

TEST(MainTemplate, ListsEveryControlInOrderWithItsStyle) {
    DialogTemplate dialog = ReadDialogTemplate(IDD_MAIN);
    ASSERT_EQ(dialog.items.size(), std::size(MAIN_CONTROLS));
    for (size_t i = 0; i < dialog.items.size(); ++i) {
        SCOPED_TRACE(MAIN_CONTROLS[i].id);
        EXPECT_EQ(dialog.items[i].id, static_cast<DWORD>(MAIN_CONTROLS[i].id));
        EXPECT_EQ(dialog.items[i].style & MAIN_CONTROLS[i].styleMask, MAIN_CONTROLS[i].style);
        EXPECT_EQ(dialog.items[i].style & (WS_CHILD | WS_VISIBLE), static_cast<DWORD>(WS_CHILD | WS_VISIBLE));
    }
}

TEST_F(MainWindowTest, HasEveryControlWithItsCaptionAndPosition) {
    for (const ExpectedControl& row : MAIN_CONTROLS) {
        SCOPED_TRACE(row.id);
        HWND control = GetDlgItem(App().hMainDlg, row.id);
        ASSERT_NE(control, nullptr);
        wchar_t className[64];
        GetClassNameW(control, className, 64);
        EXPECT_STREQ(className, row.className);
        // The mod filter box shows its selection, which the filter download has made by now.
        if (row.id != IDC_MOD_FILTER) {
            EXPECT_EQ(WindowText(control), row.caption);
        }

        RECT expected = DialogUnitsToPixels(row.units);
        RECT actual = ClientRectOf(control);
        EXPECT_EQ(actual.left, expected.left);
        EXPECT_EQ(actual.top, expected.top);
        EXPECT_EQ(actual.right, expected.right);
        // A drop-down list's template height is that of its open list; the closed box is one line high.
        if (wcscmp(row.className, L"ComboBox") != 0) {
            EXPECT_EQ(actual.bottom, expected.bottom);
        }
    }
}

TEST_F(MainWindowTest, StatusBarHasThreePartsFromTheClientWidthWithIconsAndFirstTexts) {
    ASSERT_NE(App().status.bar, nullptr);
    EXPECT_EQ(GetDlgItem(App().hMainDlg, IDC_STATUS_BAR), App().status.bar);
    wchar_t className[64];
    GetClassNameW(App().status.bar, className, 64);
    EXPECT_STREQ(className, L"msctls_statusbar32");
    EXPECT_TRUE(IsWindowVisible(App().status.bar));

    RECT client;
    GetClientRect(App().hMainDlg, &client);
    int width = client.right;
    int edges[4] = {};
    ASSERT_EQ(SendMessageW(App().status.bar, SB_GETPARTS, 4, reinterpret_cast<LPARAM>(edges)), 3);
    EXPECT_EQ(edges[0], width * 40 / 70);
    EXPECT_EQ(edges[1], edges[0] + width * 15 / 70);
    EXPECT_EQ(edges[2], edges[1] + width * 15 / 70);

    // The start-up run has found an empty master list.
    EXPECT_EQ(StatusPartText(0), L"Completed. 0 of 0 servers responded.");
    EXPECT_EQ(StatusPartText(1), L"0 Players");
    EXPECT_EQ(StatusPartText(2), L"0 Servers");

    const SIZE iconSizes[3] = {{14, 14}, {16, 14}, {16, 14}};
    for (int part = 0; part < 3; ++part) {
        SCOPED_TRACE(part);
        auto icon = reinterpret_cast<HICON>(SendMessageW(App().status.bar, SB_GETICON, part, 0));
        ASSERT_NE(icon, nullptr);
        ICONINFO info{};
        ASSERT_TRUE(GetIconInfo(icon, &info));
        BITMAP mask{};
        GetObjectW(info.hbmMask, sizeof mask, &mask);
        EXPECT_EQ(mask.bmWidth, iconSizes[part].cx);
        EXPECT_EQ(mask.bmHeight, info.hbmColor ? iconSizes[part].cy : 2 * iconSizes[part].cy);
        DeleteObject(info.hbmMask);
        DeleteObject(info.hbmColor);
    }
}

TEST_F(MainWindowTest, SetStatusShowsTheTextAsItIsAndCutsAt1023Characters) {
    SetStatus(App().status, L"100% of {braces} stay");
    EXPECT_EQ(StatusPartText(0), L"100% of {braces} stay");

    std::wstring longText(1500, L'x');
    longText[1022] = L'y';
    SetStatus(App().status, longText.c_str());
    std::wstring shown = StatusPartText(0);
    EXPECT_EQ(shown.size(), 1023u);
    EXPECT_EQ(shown, longText.substr(0, 1023));
}

TEST_F(MainWindowTest, ARunsTextsAreShownAtTheBarsRateAndItsClosingLineAtOnce) {
    RecordStatusLine();
    ShowRunStatus(App().status, {u"Querying 10.0.0.1:27910...", false});
    ShowRunStatus(App().status, {u"Found 3 players on 'Far Away'", false});
    EXPECT_TRUE(PumpUntil([] { return StatusPartText(0) == L"Found 3 players on 'Far Away'"; }));
    EXPECT_EQ(RecordedStatusLines(),
              (std::vector<std::wstring>{L"Querying 10.0.0.1:27910...", L"Found 3 players on 'Far Away'"}));

    // A closing line is shown before the call returns, after what still waits.
    RecordStatusLine();
    ShowRunStatus(App().status, {u"Retrying 10.0.0.1:27910 (attempt 3)...", false});
    ShowRunStatus(App().status, {u"Completed. 0 of 1 servers responded.", true});
    EXPECT_EQ(RecordedStatusLines(), (std::vector<std::wstring>{L"Retrying 10.0.0.1:27910 (attempt 3)...",
                                                                L"Completed. 0 of 1 servers responded."}));
}

TEST_F(MainWindowTest, AStreamOfStatusTextsEndsWithTheLastOneOnScreen) {
    // The status line's text area, right of its icon, in screen coordinates.
    RECT part{};
    SendMessageW(App().status.bar, SB_GETRECT, 0, reinterpret_cast<LPARAM>(&part));
    part.left += 24;
    MapWindowPoints(App().status.bar, nullptr, reinterpret_cast<POINT*>(&part), 2);
    auto textPixels = [&part] {
        ScreenPicture picture = CaptureWindow(App().hMainDlg);
        IntersectRect(&part, &part, &picture.area);
        return picture.Count(part, GetSysColor(COLOR_BTNTEXT));
    };
    for (const char16_t* last : {u"WWWWWWWWWWWWWWWWWWWWWWWW", u""}) {
        for (int i = 0; i < 300; ++i) {
            ShowRunStatus(
                App().status,
                {u"Querying 10.0." + std::u16string(1, static_cast<char16_t>(u'0' + i % 10)) + u".1:27910...", false});
        }
        ShowRunStatus(App().status, {last, false});
        EXPECT_TRUE(PumpUntil([&] { return (textPixels() > 0) == (*last != 0); }, 2000));
    }
}

TEST_F(MainWindowTest, SetStatusWithoutAStatusBarChangesNothing) {
    HWND bar = App().status.bar;
    std::wstring before = StatusPartText(0);
    App().status.bar = nullptr;
    SetStatus(App().status, L"not shown");
    App().status.bar = bar;
    EXPECT_EQ(StatusPartText(0), before);
}

TEST_F(MainWindowTest, CountsAreSingularOnlyForExactlyOne) {
    App().servers.shownPlayers = 1;
    App().servers.shownServers = 0;
    ShowCounts(App());
    EXPECT_EQ(StatusPartText(1), L"1 Player");
    EXPECT_EQ(StatusPartText(2), L"0 Servers");

    App().servers.shownPlayers = 2;
    App().servers.shownServers = 1;
    ShowCounts(App());
    EXPECT_EQ(StatusPartText(1), L"2 Players");
    EXPECT_EQ(StatusPartText(2), L"1 Server");

    App().servers.shownPlayers = 0;
    App().servers.shownServers = 2;
    ShowCounts(App());
    EXPECT_EQ(StatusPartText(1), L"0 Players");
    EXPECT_EQ(StatusPartText(2), L"2 Servers");
}

TEST_F(MainWindowTest, TheStartUpRunLeavesNothingGoing) {
    EXPECT_EQ(App().session.run.handle, nullptr);
    EXPECT_EQ(App().session.run.running, 0);
    EXPECT_EQ(App().session.shown.count, 0);
    EXPECT_EQ(StatusPartText(0), L"Completed. 0 of 0 servers responded.");
}

TEST_F(MainWindowTest, MinimumTrackingSizeIsTheSizeAtCreationOnceTheLayoutIsInstalled) {
    RECT created;
    GetWindowRect(App().hMainDlg, &created);
    MINMAXINFO info{};
    SendMessageW(App().hMainDlg, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&info));
    EXPECT_EQ(info.ptMinTrackSize.x, created.right - created.left);
    EXPECT_EQ(info.ptMinTrackSize.y, created.bottom - created.top);

    // The dialog procedure's own answer, which only creation meets.
    info = MINMAXINFO{};
    MainDlgProc(App().hMainDlg, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&info));
    EXPECT_EQ(info.ptMinTrackSize.x, 694);
    EXPECT_EQ(info.ptMinTrackSize.y, 447);
}

TEST_F(MainWindowTest, ExitButtonEndsTheProgramWithCodeZero) {
    SendDlgItemMessageW(App().hMainDlg, IDC_EXIT, BM_CLICK, 0, 0);
    EXPECT_FALSE(IsWindow(App().hMainDlg));
    EXPECT_EQ(CloseMainWindow(), 0);
}

TEST_F(MainWindowTest, CloseBoxEndsTheProgramWithCodeZero) {
    SendMessageW(App().hMainDlg, WM_CLOSE, 0, 0);
    EXPECT_FALSE(IsWindow(App().hMainDlg));
    EXPECT_EQ(CloseMainWindow(), 0);
}

bool RunningUnderWine() {
    return GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
}

TEST(Manifest, BindsCommonControlsVersion6) {
    // The copy of comctl32 that our imports were bound to, as the manifest chose it: the side-by-side assembly.
    HMODULE controls = nullptr;
    ASSERT_TRUE(
        GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                           reinterpret_cast<LPCWSTR>(reinterpret_cast<void*>(&InitCommonControlsEx)), &controls));
    wchar_t path[MAX_PATH];
    ASSERT_GT(GetModuleFileNameW(controls, path, MAX_PATH), 0u);
    std::wstring lowered(path);
    for (wchar_t& c : lowered) {
        c = towlower(c);
    }
    EXPECT_NE(lowered.find(L"microsoft.windows.common-controls_6595b64144ccf1df_6."), std::wstring::npos)
        << "bound to " << std::string(lowered.begin(), lowered.end());

    auto getVersion =
        reinterpret_cast<DLLGETVERSIONPROC>(reinterpret_cast<void*>(GetProcAddress(controls, "DllGetVersion")));
    ASSERT_NE(getVersion, nullptr);
    DLLVERSIONINFO version{};
    version.cbSize = sizeof version;
    ASSERT_EQ(getVersion(&version), S_OK);
    if (RunningUnderWine()) {
        // Known Wine difference: its side-by-side comctl32 behaves as version 6 but reports 5.80.
        EXPECT_EQ(version.dwMajorVersion, 5u);
    } else {
        EXPECT_EQ(version.dwMajorVersion, 6u);
    }
}

// The system menu's last item names the version and where the settings are kept.
TEST_F(MainWindowTest, TheSystemMenusAboutBoxNamesTheVersionTheKeyAndTheDataFolder) {
    HMENU menu = GetSystemMenu(App().hMainDlg, FALSE);
    int last = GetMenuItemCount(menu) - 1;
    ASSERT_GT(last, 0);
    wchar_t item[32] = L"";
    GetMenuStringW(menu, static_cast<UINT>(last), item, 32, MF_BYPOSITION);
    EXPECT_STREQ(item, L"About Skerrow");
    EXPECT_EQ(GetMenuItemID(menu, last), SYSTEM_MENU_ABOUT);

    MessageBoxAnswerer answerer;
    SendMessageW(App().hMainDlg, WM_SYSCOMMAND, GetMenuItemID(menu, last), 0);
    std::vector<ShownBox> shown = answerer.Shown();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].caption, L"About Skerrow");
    const std::wstring& text = shown[0].text;
    EXPECT_EQ(text.rfind(L"Skerrow " SKERROW_VERSION L"\n", 0), 0u) << std::string(text.begin(), text.end());
    EXPECT_NE(text.find(L"HKEY_CURRENT_USER\\SOFTWARE\\Corvell\\Skerrow\n"), std::wstring::npos);
    ASSERT_FALSE(RememberedListFolder().empty());
    EXPECT_NE(text.find(AsWide(RememberedListFolder().c_str())), std::wstring::npos);
    EXPECT_NE(AboutText(L"").find(L"(the local application data folder is unknown)"), std::wstring::npos);
}

TEST_F(MainWindowTest, HasTheProgramsSmallIcon) {
    EXPECT_NE(SendMessageW(App().hMainDlg, WM_GETICON, ICON_SMALL, 0), 0);
    EXPECT_NE(SendMessageW(App().hMainDlg, WM_GETICON, ICON_BIG, 0), 0);
}

} // namespace
