// Buddies as a user sees them: the entries loaded at start, the custom-draw answers of both lists, and yellow rows
// in the painted lists for servers with a buddy and for the buddies themselves.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <string>

#include "core/display/buddy_match.h"
#include "harness.h"
#include "picture.h"
#include "resource.h"
#include "servers.h"
#include "windows/views/buddy_highlight.h"
#include "windows/views/server_list.h"

namespace {

constexpr COLORREF YELLOW = RGB(255, 255, 0);
constexpr COLORREF UNTOUCHED = RGB(1, 2, 3);

class BuddyHighlightTest : public OpenWindowTest {
protected:
    void SetUp() override {
        OpenWindowTest::SetUp();
        SetCheckBox(IDC_SHOW_FULL, true);
        SetCheckBox(IDC_SHOW_EMPTY, true);
        // Servers 0 and 2 have a buddy (bob inside xbobx; BOB whole), server 1 only near misses.
        LoadServerTable(3);
        const char* players[3][3] = {{"alice", "xbobx", "carol"}, {"Bobby", "xBOBx", "dave"}, {"BOB", "eve", "z"}};
        for (int i = 0; i < 3; ++i) {
            TestServer server;
            server.hostname = "server" + std::to_string(i);
            for (int p = 0; p < 3; ++p) {
                server.players.push_back({p, 10 * i + p, players[i][p]});
            }
            FeedServer(i, server, 20 + 10 * i);
        }
        SetBuddyText(L"bob\r\n");
    }

    static void SelectServer(int record) {
        LVITEMW state{};
        state.stateMask = LVIS_SELECTED;
        state.state = LVIS_SELECTED;
        SendMessageW(App().servers.list, LVM_SETITEMSTATE, ServerRow(record), reinterpret_cast<LPARAM>(&state));
    }

    // Sends NM_CUSTOMDRAW from the list to the main dialog as the list does; returns what the list receives.
    static LONG_PTR CustomDraw(HWND list, DWORD stage, DWORD_PTR row, COLORREF& background) {
        NMLVCUSTOMDRAW draw{};
        draw.nmcd.hdr.hwndFrom = list;
        draw.nmcd.hdr.idFrom = GetDlgCtrlID(list);
        draw.nmcd.hdr.code = NM_CUSTOMDRAW;
        draw.nmcd.dwDrawStage = stage;
        draw.nmcd.dwItemSpec = row;
        draw.clrText = UNTOUCHED;
        draw.clrTextBk = UNTOUCHED;
        // A dialog hands the sender its message result when the procedure answered.
        SetWindowLongPtrW(App().hMainDlg, DWLP_MSGRESULT, -1);
        LRESULT result = SendMessageW(App().hMainDlg, WM_NOTIFY, draw.nmcd.hdr.idFrom, reinterpret_cast<LPARAM>(&draw));
        EXPECT_EQ(result, GetWindowLongPtrW(App().hMainDlg, DWLP_MSGRESULT));
        EXPECT_EQ(draw.clrText, UNTOUCHED) << "the text colour never changes";
        background = draw.clrTextBk;
        return result;
    }
};

TEST_F(BuddyHighlightTest, CustomDrawAnswersEachStageAndColoursOnlyBuddyRows) {
    COLORREF background;
    for (HWND list : {App().servers.list, App().players.list}) {
        EXPECT_EQ(CustomDraw(list, CDDS_PREPAINT, 0, background), CDRF_NOTIFYITEMDRAW);
        EXPECT_EQ(CustomDraw(list, CDDS_ITEMPOSTPAINT, 0, background), CDRF_DODEFAULT);
        EXPECT_EQ(CustomDraw(list, CDDS_POSTPAINT, 0, background), CDRF_NOTIFYSUBITEMDRAW | CDRF_NOTIFYPOSTPAINT);
        EXPECT_EQ(CustomDraw(list, CDDS_PREERASE, 0, background), CDRF_NOTIFYSUBITEMDRAW | CDRF_NOTIFYPOSTPAINT);
        EXPECT_EQ(background, UNTOUCHED);
    }

    for (DWORD stage : {DWORD{CDDS_ITEMPREPAINT}, DWORD{CDDS_ITEMPREPAINT | CDDS_SUBITEM}}) {
        for (int record = 0; record < 3; ++record) {
            EXPECT_EQ(CustomDraw(App().servers.list, stage, ServerRow(record), background), CDRF_NOTIFYPOSTPAINT);
            EXPECT_EQ(background, record == 1 ? UNTOUCHED : BUDDY_HIGHLIGHT) << "server " << record;
        }
        SelectServer(1);
        for (int row = 0; row < 3; ++row) {
            EXPECT_EQ(CustomDraw(App().players.list, stage, row, background), CDRF_NOTIFYPOSTPAINT);
            EXPECT_EQ(background, UNTOUCHED) << "Bobby, xBOBx and dave are no buddies";
        }
        SelectServer(0);
        for (int row = 0; row < 3; ++row) {
            EXPECT_EQ(CustomDraw(App().players.list, stage, row, background), CDRF_NOTIFYPOSTPAINT);
            EXPECT_EQ(background, row == 1 ? BUDDY_HIGHLIGHT : UNTOUCHED) << "player row " << row;
        }
        // Rows the list does not have, and a row whose table was rebuilt under it, are drawn plainly.
        EXPECT_EQ(CustomDraw(App().players.list, stage, 3, background), CDRF_NOTIFYPOSTPAINT);
        EXPECT_EQ(background, UNTOUCHED);
        App().session.shown.count = 2;
        EXPECT_EQ(CustomDraw(App().servers.list, stage, ServerRow(2), background), CDRF_NOTIFYPOSTPAINT);
        EXPECT_EQ(background, UNTOUCHED);
        App().session.shown.count = 3;
    }

    NMLVCUSTOMDRAW other{};
    other.nmcd.hdr.code = NM_CLICK;
    other.nmcd.dwDrawStage = CDDS_PREPAINT;
    EXPECT_EQ(OnListCustomDraw(&other, [](int) { return true; }), 0) << "not a custom draw";
    // Any other control's custom draw is not the lists': the dialog leaves it alone.
    other.nmcd.hdr.code = NM_CUSTOMDRAW;
    other.nmcd.hdr.idFrom = IDC_UPDATE;
    other.nmcd.dwDrawStage = CDDS_ITEMPREPAINT;
    other.clrTextBk = UNTOUCHED;
    EXPECT_EQ(SendMessageW(App().hMainDlg, WM_NOTIFY, IDC_UPDATE, reinterpret_cast<LPARAM>(&other)), FALSE);
    EXPECT_EQ(other.clrTextBk, UNTOUCHED);

    SetBuddyText(L"");
    EXPECT_TRUE(App().buddies.names.empty());
    EXPECT_EQ(CustomDraw(App().servers.list, CDDS_ITEMPREPAINT, ServerRow(0), background), CDRF_NOTIFYPOSTPAINT);
    EXPECT_EQ(background, UNTOUCHED) << "an empty buddy list highlights nothing";
}

TEST_F(BuddyHighlightTest, TheStoredBuddyListIsParsedAtStart) {
    SetBuddyText(L"bob\r\n\r\n  \rKaren with a very long name that is cut\n");
    CloseMainWindow();
    ASSERT_NE(ReopenMainWindow(), nullptr);
    ASSERT_EQ(App().buddies.names.size(), 3u);
    EXPECT_EQ(std::u16string(App().buddies.names[0].text), u"bob");
    EXPECT_EQ(std::u16string(App().buddies.names[1].text), u"  ");
    EXPECT_EQ(std::u16string(App().buddies.names[2].text), u"Karen with a very long name tha");
}

// The yellow pixels of a row as the list paints itself.
int YellowPixels(HWND list, const ScreenPicture& picture, int row) {
    RECT rect{};
    rect.left = LVIR_BOUNDS;
    SendMessageW(list, LVM_GETITEMRECT, row, reinterpret_cast<LPARAM>(&rect));
    MapWindowPoints(list, nullptr, reinterpret_cast<POINT*>(&rect), 2);
    IntersectRect(&rect, &rect, &picture.area);
    return picture.Count(rect, YELLOW);
}

TEST_F(BuddyHighlightTest, PaintedListsShowBuddyRowsOnYellow) {
    SendMessageW(App().players.list, LVM_SETVIEW, LV_VIEW_DETAILS, 0);
    App().players.details = true;
    SelectServer(0);
    // The selection's own colour would cover the row; the server rows are compared unselected.
    SetFocus(GetDlgItem(App().hMainDlg, IDC_UPDATE));
    RepaintServerList(App().servers); // as the run's end does: the list's redrawing was held while rows were listed
    RedrawWindow(App().hMainDlg, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);

    ScreenPicture servers = PrintedClient(App().servers.list);
    ScreenPicture players = PrintedClient(App().players.list);
    EXPECT_GT(YellowPixels(App().servers.list, servers, ServerRow(2)), 200);
    EXPECT_EQ(YellowPixels(App().servers.list, servers, ServerRow(1)), 0);
    EXPECT_GT(YellowPixels(App().players.list, players, 1), 200) << "xbobx";
    EXPECT_EQ(YellowPixels(App().players.list, players, 0), 0);
    EXPECT_EQ(YellowPixels(App().players.list, players, 2), 0);

    CreateDirectoryW(L"screenshots", nullptr);
    EXPECT_TRUE(WriteBitmap(CaptureWindow(App().hMainDlg), L"screenshots\\buddies.bmp"));
}

} // namespace
