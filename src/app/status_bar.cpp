#include "app/status_bar.h"

#include "app/app_state.h"

#include <commctrl.h>
#include <strsafe.h>

#include <cstdarg>

#include "base/text.h"
#include "base/wide.h"
#include "resource.h"

namespace {

constexpr int STATUS_PART_LINE = 0;
constexpr int STATUS_PART_PLAYERS = 1;
constexpr int STATUS_PART_SERVERS = 2;
constexpr size_t STATUS_TEXT_SIZE = 1024;

// During a run the texts change thousands of times a second, and the bar painted itself after each change, which
// took more of the user interface thread than everything else it did. So the bar's subclass paints it at most
// every STATUS_REPAINT_MS: a paint that comes sooner is put off, and a timer paints the bar once that time is up.
// Both run on the user interface thread, which owns the bar.
constexpr UINT_PTR STATUS_REPAINT_TIMER = 1;
constexpr UINT STATUS_REPAINT_MS = 50;
constexpr UINT_PTR STATUS_SUBCLASS_ID = 1;
DWORD lastStatusPaint = 0;
bool statusPaintPutOff = false;

LRESULT CALLBACK ThrottleStatusPaints(HWND bar, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR) {
    switch (message) {
    case WM_PAINT:
        // A paint into a given device context is a request for a picture, not a screen update: never put off.
        if (wParam == 0) {
            DWORD now = GetTickCount();
            if (now - lastStatusPaint < STATUS_REPAINT_MS) {
                ValidateRect(bar, nullptr);
                statusPaintPutOff = true;
                return 0;
            }
            lastStatusPaint = now;
            statusPaintPutOff = false;
        }
        break;
    case WM_NCDESTROY:
        RemoveWindowSubclass(bar, ThrottleStatusPaints, STATUS_SUBCLASS_ID);
        break;
    }
    return DefSubclassProc(bar, message, wParam, lParam);
}

void CALLBACK PaintPutOffStatus(HWND bar, UINT, UINT_PTR, DWORD) {
    if (statusPaintPutOff) {
        InvalidateRect(bar, nullptr, TRUE);
    }
}

void SetPartText(int part, const wchar_t* text) {
    SendMessageW(app.hStatusBar, SB_SETTEXTW, part, reinterpret_cast<LPARAM>(text));
}

void SetPartIcon(int part, int iconId, int width, int height) {
    // The bar does not own its icons; they live until the process ends.
    HANDLE icon = LoadImageW(app.hInstance, MAKEINTRESOURCEW(iconId), IMAGE_ICON, width, height, 0);
    SendMessageW(app.hStatusBar, SB_SETICON, part, reinterpret_cast<LPARAM>(icon));
}

void SetCountText(int part, const wchar_t* format, int count) {
    wchar_t text[64];
    StringCchPrintfW(text, ARRAYSIZE(text), format, count, AsWide(PluralSuffix(count)));
    SetPartText(part, text);
}

} // namespace

void CreateStatusBar() {
    RECT client{};
    GetClientRect(app.hMainDlg, &client);
    int width = client.right - client.left;

    app.hStatusBar =
        CreateWindowExW(0, STATUSCLASSNAMEW, L"", WS_CHILD | WS_VISIBLE, 0, 0, width, 0, app.hMainDlg,
                        reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDC_STATUS_BAR)), app.hInstance, nullptr);

    // The part edges follow the width at creation only; later size changes keep them.
    int edges[3];
    edges[0] = width * 40 / 70;
    edges[1] = edges[0] + width * 15 / 70;
    edges[2] = edges[1] + width * 15 / 70;
    SendMessageW(app.hStatusBar, SB_SETPARTS, ARRAYSIZE(edges), reinterpret_cast<LPARAM>(edges));

    SetWindowSubclass(app.hStatusBar, ThrottleStatusPaints, STATUS_SUBCLASS_ID, 0);
    SetTimer(app.hStatusBar, STATUS_REPAINT_TIMER, STATUS_REPAINT_MS, PaintPutOffStatus);
    SetPartIcon(STATUS_PART_PLAYERS, IDI_PLAYER, 16, 14);
    SetPartIcon(STATUS_PART_SERVERS, IDI_COMPUTER, 16, 14);
    SetPartIcon(STATUS_PART_LINE, IDI_STATUS, 14, 14);

    SetStatus(L"Updating Server List...");
    SetPartText(STATUS_PART_PLAYERS, L"0 Players");
    SetPartText(STATUS_PART_SERVERS, L"0 Servers");
}

void SetStatus(const wchar_t* format, ...) {
    if (!app.hStatusBar) {
        return;
    }
    // On the caller's stack, so every thread has its own.
    wchar_t text[STATUS_TEXT_SIZE];
    va_list args;
    va_start(args, format);
    StringCchVPrintfW(text, STATUS_TEXT_SIZE, format, args);
    va_end(args);
    SetPartText(STATUS_PART_LINE, text);
}

void UpdateStatusCounts() {
    SetCountText(STATUS_PART_PLAYERS, L"%d Player%s", app.shownPlayers);
    SetCountText(STATUS_PART_SERVERS, L"%d Server%s", app.shownServers);
}
