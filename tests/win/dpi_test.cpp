// The windows at the display's DPI. The Windows tests run at 96 DPI, and these again at 120, 144 and 192 (the Wine
// prefix's LogPixels): every label fits, no two controls overlap, and the icons come from images of the very size
// they are drawn at. The main window also follows a change of DPI and comes back from it as it was.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "core/display/dpi_scale.h"
#include "core/settings/settings.h"
#include "harness.h"
#include "picture.h"
#include "resource.h"
#include "servers.h"
#include "windows/app/main_window_settings.h"
#include "windows/dialogs/config_dialog.h"
#include "windows/dialogs/server_info_dialog.h"
#include "windows/support/display_dpi.h"

namespace {

using DpiTest = OpenWindowTest;

std::wstring ClassOf(HWND window) {
    wchar_t name[64] = L"";
    GetClassNameW(window, name, 64);
    return name;
}

RECT RectIn(HWND parent, HWND control) {
    RECT rect;
    GetWindowRect(control, &rect);
    MapWindowPoints(HWND_DESKTOP, parent, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

bool IsGroupBox(HWND control) {
    return ClassOf(control) == L"Button" && (GetWindowLongW(control, GWL_STYLE) & 0x0F) == BS_GROUPBOX;
}

// The room a control leaves for its text beside its frame or check box.
int TextRoom(HWND control, UINT dpi) {
    RECT client;
    GetClientRect(control, &client);
    if (ClassOf(control) != L"Button") {
        return client.right;
    }
    LONG type = GetWindowLongW(control, GWL_STYLE) & 0x0F;
    if (type == BS_AUTOCHECKBOX || type == BS_CHECKBOX) {
        return client.right - ScaleToDpi(13 + 3, dpi); // the box and its gap
    }
    if (type == BS_GROUPBOX) {
        return client.right - ScaleToDpi(2 * 8, dpi); // the caption's indents from the frame
    }
    return client.right - 2 * GetSystemMetrics(SM_CXEDGE); // a push button's edges
}

// Every visible child of the dialog with a text shows it whole; no two overlap, but for controls inside a group
// box; all lie inside the client area. Failures name the dialog and the control.
void ExpectLaidOutCleanly(HWND dialog, const char* name, UINT dpi) {
    RECT client;
    GetClientRect(dialog, &client);
    std::vector<HWND> controls;
    for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        if (IsWindowVisible(child) && GetDlgCtrlID(child) != IDC_STATUS_BAR) {
            controls.push_back(child);
        }
    }
    ASSERT_FALSE(controls.empty()) << name;
    for (HWND control : controls) {
        std::string label(name);
        std::wstring text = WindowText(control);
        label += " \"" + std::string(text.begin(), text.end()) + "\" (" + std::to_string(GetDlgCtrlID(control)) + ")";
        RECT rect = RectIn(dialog, control);
        label += " at (" + std::to_string(rect.left) + "," + std::to_string(rect.top) + ")-(" +
                 std::to_string(rect.right) + "," + std::to_string(rect.bottom) + ")";
        RECT inside;
        IntersectRect(&inside, &rect, &client);
        EXPECT_TRUE(EqualRect(&inside, &rect)) << label << " reaches out of the client area at " << dpi << " DPI";
        std::wstring cls = ClassOf(control);
        if (!text.empty() && (cls == L"Static" || cls == L"Button")) {
            EXPECT_LE(TextWidthIn(control, text), TextRoom(control, dpi)) << label << " is cut at " << dpi << " DPI";
        }
        for (HWND other : controls) {
            if (other <= control) {
                continue;
            }
            RECT otherRect = RectIn(dialog, other);
            RECT both;
            if (!IntersectRect(&both, &rect, &otherRect)) {
                continue;
            }
            // Where a group box is involved, one must hold the other whole.
            bool nested =
                (IsGroupBox(control) && EqualRect(&both, &otherRect)) || (IsGroupBox(other) && EqualRect(&both, &rect));
            EXPECT_TRUE(nested) << label << " overlaps control " << GetDlgCtrlID(other) << " at " << dpi << " DPI";
        }
    }
}

// The sizes of the images an icon resource holds (its RT_GROUP_ICON directory).
std::vector<std::pair<int, int>> IconImageSizes(int iconId) {
    std::vector<std::pair<int, int>> sizes;
    HMODULE module = GetModuleHandleW(nullptr);
    HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(iconId), RT_GROUP_ICON);
    const auto* directory = found ? static_cast<const BYTE*>(LockResource(LoadResource(module, found))) : nullptr;
    if (!directory) {
        return sizes;
    }
    WORD count = *reinterpret_cast<const WORD*>(directory + 4);
    for (WORD i = 0; i < count; ++i) {
        const BYTE* entry = directory + 6 + 14 * i; // width, height, colours, reserved, planes, bits, bytes, id
        sizes.emplace_back(entry[0] ? entry[0] : 256, entry[1] ? entry[1] : 256);
    }
    return sizes;
}

void ExpectImagesOfTheDrawnSize(UINT dpi) {
    PixelSize cell = ListImageSize(dpi);
    int width = 0;
    int height = 0;
    ImageList_GetIconSize(
        reinterpret_cast<HIMAGELIST>(SendMessageW(App().servers.list, LVM_GETIMAGELIST, LVSIL_SMALL, 0)), &width,
        &height);
    EXPECT_EQ(width, cell.width);
    EXPECT_EQ(height, cell.height);
    for (int icon : {IDI_COMPUTER, IDI_PING_GOOD, IDI_PING_MEDIUM, IDI_PING_BAD, IDI_OS_LINUX, IDI_OS_WINDOWS,
                     IDI_OS_FREEBSD, IDI_OS_APPLE, IDI_FAVOURITE, IDI_RECENT, IDI_FAVOURITE_RECENT, IDI_LAN,
                     IDI_LAN_FAVOURITE, IDI_LAN_RECENT, IDI_LAN_FAVOURITE_RECENT, IDI_PLAYER}) {
        std::vector<std::pair<int, int>> sizes = IconImageSizes(icon);
        EXPECT_NE(std::find(sizes.begin(), sizes.end(), std::make_pair(cell.width, cell.height)), sizes.end())
            << "icon " << icon << " has no " << cell.width << "x" << cell.height << " image for " << dpi << " DPI";
    }
    PixelSize status = StatusIconSize(dpi);
    std::vector<std::pair<int, int>> sizes = IconImageSizes(IDI_STATUS);
    EXPECT_NE(std::find(sizes.begin(), sizes.end(), std::make_pair(status.width, status.height)), sizes.end());
    ICONINFO info{};
    auto shown = reinterpret_cast<HICON>(SendMessageW(App().status.bar, SB_GETICON, 0, 0));
    ASSERT_TRUE(shown && GetIconInfo(shown, &info));
    BITMAP mask{};
    GetObjectW(info.hbmMask, sizeof mask, &mask);
    EXPECT_EQ(mask.bmWidth, status.width);
    DeleteObject(info.hbmMask);
    DeleteObject(info.hbmColor);
}

// A picture of the window, painted in full first: this thread owns it and is in no message loop.
void SaveShot(HWND window, const wchar_t* name) {
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        DispatchMessageW(&message);
    }
    std::wstring path = L"screenshots\\dpi" + std::to_wstring(WindowDpi(App().hMainDlg)) + L"-" + name + L".bmp";
    WriteBitmap(CaptureWindow(window), path.c_str());
}

// A few servers of several systems with players, one of them selected, for the picture.
std::string ServersToShow() {
    return ScenarioSection(27910, "mapname = q2dm1\nversion = 8.70 x86_64 Linux\nmaxclients = 16\n"
                                  "player = 12 35 \"Wolfe\"\nplayer = 3 60 \"Kane\"\n") +
           ScenarioSection(27911, "mapname = q2ctf5\ngamename = ctf\nversion = 3.20 x86 Win32\nmaxclients = 12\n"
                                  "player = 7 80 \"Sloan\"\n") +
           ScenarioSection(27912, "mapname = base1\nversion = 3.21 FreeBSD 13\nmaxclients = 8\n");
}

TEST_F(DpiTest, TheMainWindowAndItsDialogsFitAtTheDisplaysDpiWithImagesOfTheirSize) {
    CloseMainWindow();
    ASSERT_NE(OpenMainWindow(ServersToShow().c_str()), nullptr);
    ListView_SetItemState(App().servers.list, 2, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    UINT dpi = SystemDpi();
    EXPECT_EQ(App().dpi, dpi);
    ExpectLaidOutCleanly(App().hMainDlg, "main window", dpi);
    ExpectImagesOfTheDrawnSize(dpi);
    SaveShot(App().hMainDlg, L"main");

    Configuration config = App().session.config;
    HWND configDialog = CreateDialogParamW(App().hInstance, MAKEINTRESOURCEW(IDD_CONFIG), App().hMainDlg, ConfigDlgProc,
                                           reinterpret_cast<LPARAM>(&config));
    ASSERT_NE(configDialog, nullptr);
    ShowWindow(configDialog, SW_SHOW);
    ExpectLaidOutCleanly(configDialog, "configuration dialog", dpi);
    SaveShot(configDialog, L"config");
    DestroyWindow(configDialog);

    // A day of hourly samples: their points apart, each a square of 4 pixels at 96 DPI in the good ping's colour.
    InfoHistory history{{}, 1796688000, 100, 200};
    for (int hour = 12; hour >= 1; --hour) {
        history.buckets.push_back(HistoryBucket{HistorySlotOf(history.now - hour * 3600), 2 * 50, 45, 55, 2,
                                                static_cast<uint16_t>(hour), 16});
    }
    ServerInfo info{u"192.0.2.7:27910",
                    {{u"hostname", u"A server with a rather long name"}, {u"mapname", u"q2dm1"}, {u"gamedir", u"ctf"}},
                    {u"http://127.0.0.1"},
                    history};
    HWND infoDialog = CreateDialogParamW(App().hInstance, MAKEINTRESOURCEW(IDD_SERVER_INFO), App().hMainDlg,
                                         ServerInfoDlgProc, reinterpret_cast<LPARAM>(&info));
    ASSERT_NE(infoDialog, nullptr);
    ShowWindow(infoDialog, SW_SHOW);
    // The pointer over the latest sample, found from the right: its text fits the line below the graphs.
    RECT pingGraph = RectIn(infoDialog, GetDlgItem(infoDialog, IDC_INFO_PING_GRAPH));
    std::wstring sample;
    for (int x = pingGraph.right - 1; x > pingGraph.left && sample.empty(); --x) {
        SendMessageW(infoDialog, WM_MOUSEMOVE, 0, MAKELPARAM(x, (pingGraph.top + pingGraph.bottom) / 2));
        sample = WindowText(GetDlgItem(infoDialog, IDC_INFO_SAMPLE));
    }
    EXPECT_NE(sample.find(L"ping 45\u201355 ms (mean 50), 1/16 players"), std::wstring::npos) << dpi << " DPI";
    ExpectLaidOutCleanly(infoDialog, "server info dialog", dpi);
    HWND keys = GetDlgItem(infoDialog, IDC_INFO_LIST);
    EXPECT_EQ(SendMessageW(keys, LVM_GETCOLUMNWIDTH, 0, 0), ScaleToDpi(110, dpi));
    RedrawWindow(infoDialog, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    RECT onScreen{};
    GetWindowRect(GetDlgItem(infoDialog, IDC_INFO_PING_GRAPH), &onScreen);
    int point = ScaleToDpi(4, dpi);
    int drawn = 0;
    PumpUntil(
        [&] { return (drawn = CaptureWindow(infoDialog).Count(onScreen, GOOD_PING_COLOUR)) >= 12 * point * point; },
        2000);
    EXPECT_GE(drawn, 12 * point * point) << "twelve points of the DPI's size at " << dpi << " DPI";
    SaveShot(infoDialog, L"info");
    DestroyWindow(infoDialog);
}

int MinTrackWidth(HWND window) {
    MINMAXINFO limits{};
    SendMessageW(window, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&limits));
    return limits.ptMinTrackSize.x;
}

LONG FontHeight(HWND control) {
    LOGFONTW font{};
    GetObjectW(reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0)), sizeof font, &font);
    return font.lfHeight;
}

// Moved to a monitor of another DPI (150 % from 100 %, else 100 %) the window is laid out for it: controls, font,
// images, minimum size and the user's column widths scale, labels still fit, and the size it stores means the same.
// Moved back, everything is where it was.
TEST_F(DpiTest, AChangeOfDpiLaysTheMainWindowOutForItAndBack) {
    MainWindowState& app = App();
    HWND window = app.hMainDlg;
    UINT dpi = app.dpi;
    UINT other = dpi == 96 ? 144 : 96;
    SendMessageW(app.servers.list, LVM_SETCOLUMNWIDTH, 0, 123); // the user's own width
    HWND update = GetDlgItem(window, IDC_UPDATE);
    RECT button = RectIn(window, update);
    RECT list = RectIn(window, app.servers.list); // its top left corner stays where it is as the window grows
    RECT placed;
    GetWindowRect(window, &placed);
    int minWidth = MinTrackWidth(window);
    LONG fontHeight = FontHeight(update);

    RECT suggested{placed.left, placed.top, placed.left + ScaleBetweenDpi(placed.right - placed.left, dpi, other),
                   placed.top + ScaleBetweenDpi(placed.bottom - placed.top, dpi, other)};
    SendMessageW(window, 0x02E0 /* WM_DPICHANGED */, MAKEWPARAM(other, other), reinterpret_cast<LPARAM>(&suggested));
    EXPECT_EQ(app.dpi, other);
    RECT moved;
    GetWindowRect(window, &moved);
    EXPECT_TRUE(EqualRect(&moved, &suggested));
    RECT scaledButton = RectIn(window, update);
    EXPECT_NEAR(scaledButton.right - scaledButton.left, ScaleBetweenDpi(button.right - button.left, dpi, other), 2);
    EXPECT_NEAR(scaledButton.bottom - scaledButton.top, ScaleBetweenDpi(button.bottom - button.top, dpi, other), 2);
    RECT scaledList = RectIn(window, app.servers.list);
    EXPECT_NEAR(scaledList.left, ScaleBetweenDpi(list.left, dpi, other), 1);
    EXPECT_NEAR(scaledList.top, ScaleBetweenDpi(list.top, dpi, other), 1);
    // The dialog's font at its size in points, as the dialog manager makes it at that DPI.
    EXPECT_EQ(FontHeight(update), ScaleBetweenDpi(ScaleBetweenDpi(fontHeight, dpi, 72), 72, other));
    EXPECT_EQ(SendMessageW(app.servers.list, LVM_GETCOLUMNWIDTH, 0, 0), ScaleBetweenDpi(123, dpi, other));
    EXPECT_EQ(MinTrackWidth(window), ScaleBetweenDpi(minWidth, dpi, other));
    ExpectImagesOfTheDrawnSize(other);
    ExpectLaidOutCleanly(window, "main window after the change", other);
    Settings stored = GatherSettings(app);
    RECT normal = reinterpret_cast<const WINDOWPLACEMENT*>(stored.placement)->rcNormalPosition;
    EXPECT_EQ(normal.left, suggested.left);
    EXPECT_EQ(normal.right - normal.left, ScaleBetweenDpi(suggested.right - suggested.left, other, 96));

    SendMessageW(window, 0x02E0, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&placed));
    RECT back = RectIn(window, update);
    // Controls and the user's widths are scaled from where they stand, so a pixel of rounding may stay each way.
    EXPECT_NEAR(back.left, button.left, 2);
    EXPECT_NEAR(back.right, button.right, 2);
    EXPECT_NEAR(back.bottom, button.bottom, 2);
    EXPECT_EQ(FontHeight(update), fontHeight);
    EXPECT_NEAR(SendMessageW(app.servers.list, LVM_GETCOLUMNWIDTH, 0, 0), 123, 1);
    EXPECT_EQ(MinTrackWidth(window), minWidth);
    ExpectImagesOfTheDrawnSize(dpi);
}

} // namespace
