#include "windows/views/sizer.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <cstdint>
#include <vector>

#include "harness.h"
#include "resource.h"
#include "windows/views/main_anchors.h"

namespace {

// How far each edge moves, in client size changes: dx for left and right, dy for top and bottom. The status bar is
// created at run time, so it is missing here and the layout must step over it to the rows after it.
const struct {
    int id, left, top, right, bottom;
} MAIN_SHIFTS[] = {
    {IDC_CONFIG, 1, 1, 1, 1},        {IDC_UPDATE, 1, 1, 1, 1},         {IDC_EXIT, 1, 1, 1, 1},
    {IDC_SERVER_LIST, 0, 0, 1, 1},   {IDC_PLAYER_LIST, 0, 1, 1, 1},    {IDC_SERVERS_GROUP, 0, 0, 1, 1},
    {IDC_PLAYERS_GROUP, 0, 1, 1, 1}, {IDC_CONTROLS_GROUP, 1, 1, 1, 1}, {IDC_SHOW_EMPTY, 1, 1, 1, 1},
    {IDC_SHOW_FULL, 1, 1, 1, 1},     {IDC_FILTERS_GROUP, 1, 1, 1, 1},  {IDC_MOD_FILTER, 1, 1, 1, 1},
    {IDC_MOD_LABEL, 1, 1, 1, 1},     {IDC_SEARCH_LABEL, 1, 1, 1, 1},   {IDC_SEARCH, 1, 1, 1, 1},
    {IDC_SHOW_LABEL, 1, 1, 1, 1},    {IDC_SHOW, 1, 1, 1, 1},
};

struct {
    bool seen;
    HANDLE info;
    HANDLE oldProc;
    LONG_PTR proc;
} atDestroy;

// Stands in for the program's dialog procedure, which also answers WM_GETMINMAXINFO.
INT_PTR CALLBACK TestDlgProc(HWND window, UINT message, WPARAM, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG:
        return TRUE;
    case WM_GETMINMAXINFO:
        reinterpret_cast<MINMAXINFO*>(lParam)->ptMinTrackSize = POINT{1, 1};
        return FALSE;
    case WM_DESTROY:
        atDestroy = {true, GetPropW(window, L"SizerProperty"), GetPropW(window, L"SizerWindowProc"),
                     GetWindowLongPtrW(window, GWLP_WNDPROC)};
        return FALSE;
    }
    return FALSE;
}

class SizerTest : public testing::Test {
protected:
    void SetUp() override {
        dialog = CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_MAIN), nullptr, TestDlgProc, 0);
        ASSERT_NE(dialog, nullptr);
        ShowWindow(dialog, SW_SHOWNORMAL);
        originalProc = GetWindowLongPtrW(dialog, GWLP_WNDPROC);
        ASSERT_EQ(SizerInstall(dialog, MainAnchors), 1);
        GetWindowRect(dialog, &installWindow);
        GetClientRect(dialog, &installClient);
        for (const auto& shift : MAIN_SHIFTS) {
            installRects.push_back(ControlRect(shift.id));
        }
    }
    void TearDown() override {
        if (IsWindow(dialog)) {
            DestroyWindow(dialog);
        }
    }

    RECT ControlRect(int id) const {
        RECT rect{};
        GetWindowRect(GetDlgItem(dialog, id), &rect);
        MapWindowPoints(HWND_DESKTOP, dialog, reinterpret_cast<POINT*>(&rect), 2);
        return rect;
    }
    SIZE ClientChange() const {
        RECT client;
        GetClientRect(dialog, &client);
        return SIZE{client.right - installClient.right, client.bottom - installClient.bottom};
    }
    void ResizeBy(int dx, int dy) {
        SetWindowPos(dialog, nullptr, 0, 0, installWindow.right - installWindow.left + dx,
                     installWindow.bottom - installWindow.top + dy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        ASSERT_EQ(ClientChange().cx, dx);
        ASSERT_EQ(ClientChange().cy, dy);
    }
    void ExpectShiftedBy(SIZE change) const {
        for (size_t i = 0; i < installRects.size(); ++i) {
            const auto& shift = MAIN_SHIFTS[i];
            const RECT& was = installRects[i];
            RECT now = ControlRect(shift.id);
            SCOPED_TRACE(shift.id);
            EXPECT_EQ(now.left, was.left + shift.left * change.cx);
            EXPECT_EQ(now.top, was.top + shift.top * change.cy);
            EXPECT_EQ(now.right, was.right + shift.right * change.cx);
            EXPECT_EQ(now.bottom, was.bottom + shift.bottom * change.cy);
        }
    }
    RECT GripSquare() const {
        RECT client;
        GetClientRect(dialog, &client);
        return RECT{client.right - GetSystemMetrics(SM_CYVSCROLL), client.bottom - GetSystemMetrics(SM_CXVSCROLL),
                    client.right, client.bottom};
    }
    // Erases the client area into a bitmap: is there anything but background in the grip square?
    bool GripDrawn() const {
        RECT client;
        GetClientRect(dialog, &client);
        BITMAPINFO format{};
        format.bmiHeader = {sizeof(BITMAPINFOHEADER), client.right, -client.bottom, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
        void* bits = nullptr;
        HBITMAP bitmap = CreateDIBSection(nullptr, &format, DIB_RGB_COLORS, &bits, nullptr, 0);
        HDC dc = CreateCompatibleDC(nullptr);
        HGDIOBJ old = SelectObject(dc, bitmap);
        SendMessageW(dialog, WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
        GdiFlush();
        const auto* pixels = static_cast<const uint32_t*>(bits);
        RECT grip = GripSquare();
        bool drawn = false;
        for (LONG y = grip.top; y < grip.bottom; ++y) {
            for (LONG x = grip.left; x < grip.right; ++x) {
                drawn = drawn || pixels[y * client.right + x] != pixels[0];
            }
        }
        SelectObject(dc, old);
        DeleteDC(dc);
        DeleteObject(bitmap);
        return drawn;
    }
    LRESULT HitTest(POINT client) const {
        ClientToScreen(dialog, &client);
        return SendMessageW(dialog, WM_NCHITTEST, 0, MAKELPARAM(client.x, client.y));
    }

    HWND dialog = nullptr;
    LONG_PTR originalProc = 0;
    RECT installWindow{};
    RECT installClient{};
    std::vector<RECT> installRects;
};

TEST_F(SizerTest, ControlsFollowEachSizeChangeAndReturnExactly) {
    ResizeBy(60, 40);
    ExpectShiftedBy({60, 40});
    ResizeBy(90, 25);
    ExpectShiftedBy({90, 25});
    ResizeBy(0, 0);
    ExpectShiftedBy({0, 0});

    // No change: nothing to move and no grip to repaint.
    ValidateRect(dialog, nullptr);
    SizerLayout(installClient.right, installClient.bottom, dialog);
    EXPECT_FALSE(GetUpdateRect(dialog, nullptr, FALSE));
}

TEST_F(SizerTest, MinimisingMovesNothing) {
    ShowWindow(dialog, SW_MINIMIZE);
    ASSERT_TRUE(PumpUntil([&] { return IsIconic(dialog) != FALSE; }));
    ExpectShiftedBy({0, 0});
    ShowWindow(dialog, SW_RESTORE);
    ASSERT_TRUE(PumpUntil([&] { return !IsIconic(dialog); }));
    ExpectShiftedBy({0, 0});
}

TEST_F(SizerTest, MinimumTrackSizeIsTheSizeAtInstall) {
    // The default WM_WINDOWPOSCHANGING asks WM_GETMINMAXINFO of a sizable window, so even SetWindowPos stops there.
    SetWindowPos(dialog, nullptr, 0, 0, 200, 150, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    EXPECT_EQ(ClientChange().cx, 0);
    EXPECT_EQ(ClientChange().cy, 0);

    ResizeBy(50, 30);
    MINMAXINFO limits{};
    limits.ptMaxTrackSize = POINT{1234, 987};
    EXPECT_EQ(SendMessageW(dialog, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&limits)), 0);
    EXPECT_EQ(limits.ptMinTrackSize.x, installWindow.right - installWindow.left);
    EXPECT_EQ(limits.ptMinTrackSize.y, installWindow.bottom - installWindow.top);
    EXPECT_EQ(limits.ptMaxTrackSize.x, 1234);
    EXPECT_EQ(limits.ptMaxTrackSize.y, 987);
}

TEST_F(SizerTest, MaximisedWindowShowsNoGripButItsCornerStillSizes) {
    EXPECT_TRUE(GripDrawn());
    ShowWindow(dialog, SW_MAXIMIZE);
    ASSERT_TRUE(PumpUntil([&] { return IsZoomed(dialog) != FALSE; }));
    ExpectShiftedBy(ClientChange());
    EXPECT_FALSE(GripDrawn());

    RECT grip = GripSquare();
    EXPECT_EQ(HitTest({(grip.left + grip.right) / 2, (grip.top + grip.bottom) / 2}), HTBOTTOMRIGHT);
    EXPECT_NE(HitTest({grip.left - 1, grip.bottom - 1}), HTBOTTOMRIGHT);

    ShowWindow(dialog, SW_RESTORE);
    ASSERT_TRUE(PumpUntil([&] { return !IsZoomed(dialog); }));
    EXPECT_TRUE(GripDrawn());
}

TEST_F(SizerTest, HitTestReadsSignedScreenCoordinates) {
    SetWindowPos(dialog, nullptr, -2000, -1500, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    RECT grip = GripSquare();
    POINT centre{(grip.left + grip.right) / 2, (grip.top + grip.bottom) / 2};
    ClientToScreen(dialog, &centre);
    ASSERT_LT(centre.x, 0);
    ASSERT_LT(centre.y, 0);
    EXPECT_EQ(SendMessageW(dialog, WM_NCHITTEST, 0, MAKELPARAM(centre.x, centre.y)), HTBOTTOMRIGHT);
}

TEST_F(SizerTest, DestroyHandsTheWindowBackBeforeItsOwnProcedureRuns) {
    atDestroy = {};
    DestroyWindow(dialog);
    ASSERT_TRUE(atDestroy.seen);
    EXPECT_EQ(atDestroy.info, nullptr);
    EXPECT_EQ(atDestroy.oldProc, nullptr);
    EXPECT_EQ(atDestroy.proc, originalProc);
    EXPECT_NE(atDestroy.proc, reinterpret_cast<LONG_PTR>(SizerWndProc));

    EXPECT_EQ(SizerInstall(dialog, MainAnchors), 0);
    EXPECT_EQ(SizerInstall(nullptr, MainAnchors), 0);
}

} // namespace
