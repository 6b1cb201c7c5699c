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
