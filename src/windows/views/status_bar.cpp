#include "windows/views/status_bar.h"

#include "windows/state/app_state.h"

#include <commctrl.h>
#include <mmsystem.h>
#include <strsafe.h>

#include <cstdarg>

#include "core/display/dpi_scale.h"
#include "core/text/format.h"
#include "core/text/text.h"
#include "resource.h"
#include "windows/platform/display_dpi.h"
#include "windows/platform/wide.h"
#include "windows/views/search_rows.h"

namespace {

constexpr int STATUS_PART_LINE = 0;
constexpr int STATUS_PART_PLAYERS = 1;
constexpr int STATUS_PART_SERVERS = 2;
constexpr int WAITING_MAX = 2;
constexpr UINT_PTR STATUS_TIMER_ID = 0x5354;

void SetPartText(AppState& app, int part, const wchar_t* text) {
    SendMessageW(app.hStatusBar, SB_SETTEXTW, part, reinterpret_cast<LPARAM>(text));
}

void SetPartIcon(AppState& app, int part, int iconId, PixelSize size) {
    // The bar does not own its icons: the one it showed goes when it is replaced.
    HANDLE icon = LoadImageW(app.hInstance, MAKEINTRESOURCEW(iconId), IMAGE_ICON, size.width, size.height, 0);
    auto old = reinterpret_cast<HICON>(SendMessageW(app.hStatusBar, SB_GETICON, part, 0));
    SendMessageW(app.hStatusBar, SB_SETICON, part, reinterpret_cast<LPARAM>(icon));
    if (old) {
        DestroyIcon(old);
    }
}

// "1 Player", "2 Players": `noun` with the count and its plural suffix.
void SetCountText(AppState& app, int part, const wchar_t* noun, int count) {
    wchar_t text[64];
    FormatInto(text, ARRAYSIZE(text), L"{} {}{}", count, noun, AsWide(PluralSuffix(count)));
    SetPartText(app, part, text);
}

// Shows the oldest waiting text; returns false when none waits.
bool ShowOldestWaiting(AppState& app) {
    StatusLineState& line = app.statusLine;
    if (line.waitingCount == 0) {
        return false;
    }
    SetPartText(app, STATUS_PART_LINE, line.waiting[0]);
    for (int i = 1; i < line.waitingCount; ++i) {
        StringCchCopyW(line.waiting[i - 1], STATUS_TEXT_SIZE, line.waiting[i]);
    }
    --line.waitingCount;
    return true;
}

void CALLBACK OnStatusTimer(HWND window, UINT, UINT_PTR id, DWORD);

void ScheduleShow(AppState& app, DWORD inMs) {
    if (!app.statusLine.timerSet && app.hMainDlg) {
        app.statusLine.timerSet = SetTimer(app.hMainDlg, STATUS_TIMER_ID, inMs, OnStatusTimer) != 0;
    }
}

// Shows the oldest waiting text and the counts if they are due; what still waits gets its turn an interval later.
void ShowDue(AppState& app) {
    ShowOldestWaiting(app);
    if (app.statusLine.countsDue) {
        UpdateStatusCounts(app);
    }
    app.statusLine.lastShown = timeGetTime();
    if (app.statusLine.waitingCount > 0) {
        ScheduleShow(app, STATUS_INTERVAL_MS);
    }
}

void CALLBACK OnStatusTimer(HWND window, UINT, UINT_PTR id, DWORD) {
    KillTimer(window, id);
    if (AppState* app = MainWindowState(window)) {
        app->statusLine.timerSet = false;
        ShowDue(*app);
    }
}

// Shows what is due now if the bar last changed long enough ago, else once that time is up.
void ShowWhenDue(AppState& app) {
    DWORD since = timeGetTime() - app.statusLine.lastShown;
    if (since >= STATUS_INTERVAL_MS) {
        ShowDue(app);
    } else {
        ScheduleShow(app, STATUS_INTERVAL_MS - since);
    }
}

// The waiting texts first, then this one, all now.
void ShowNow(AppState& app, const wchar_t* text) {
    while (ShowOldestWaiting(app)) {
    }
    SetPartText(app, STATUS_PART_LINE, text);
    app.statusLine.lastShown = timeGetTime();
}

void KeepWaiting(AppState& app, const wchar_t* text) {
    StatusLineState& line = app.statusLine;
    if (line.waitingCount == WAITING_MAX) {
        line.waitingCount = 0;
    }
    StringCchCopyW(line.waiting[line.waitingCount++], STATUS_TEXT_SIZE, text);
    ShowWhenDue(app);
}

} // namespace

void CreateStatusBar(AppState& app) {
    RECT client{};
    GetClientRect(app.hMainDlg, &client);
    int width = client.right - client.left;

    app.hStatusBar =
        CreateWindowExW(0, STATUSCLASSNAMEW, L"", WS_CHILD | WS_VISIBLE, 0, 0, width, 0, app.hMainDlg,
                        reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDC_STATUS_BAR)), app.hInstance, nullptr);
    app.statusLine = StatusLineState{}; // a new bar: nothing of an earlier one's is waiting

    // The part edges follow the width at creation only; later size changes keep them.
    int edges[3];
    edges[0] = width * 40 / 70;
    edges[1] = edges[0] + width * 15 / 70;
    edges[2] = edges[1] + width * 15 / 70;
    SendMessageW(app.hStatusBar, SB_SETPARTS, ARRAYSIZE(edges), reinterpret_cast<LPARAM>(edges));

    SetStatusIcons(app, WindowDpi(app.hMainDlg));

    SetStatus(app, L"Updating Server List...");
    SetPartText(app, STATUS_PART_PLAYERS, L"0 Players");
    SetPartText(app, STATUS_PART_SERVERS, L"0 Servers");
}

void SetStatusIcons(AppState& app, UINT dpi) {
    SetPartIcon(app, STATUS_PART_PLAYERS, IDI_PLAYER, ListImageSize(dpi));
    SetPartIcon(app, STATUS_PART_SERVERS, IDI_COMPUTER, ListImageSize(dpi));
    SetPartIcon(app, STATUS_PART_LINE, IDI_STATUS, StatusIconSize(dpi));
}

void ScaleStatusParts(AppState& app, UINT fromDpi, UINT toDpi) {
    int edges[3];
    int count =
        static_cast<int>(SendMessageW(app.hStatusBar, SB_GETPARTS, ARRAYSIZE(edges), reinterpret_cast<LPARAM>(edges)));
    for (int i = 0; i < count && i < static_cast<int>(ARRAYSIZE(edges)); ++i) {
        if (edges[i] >= 0) { // -1: the part reaches the bar's end
            edges[i] = ScaleBetweenDpi(edges[i], fromDpi, toDpi);
        }
    }
    if (count > 0) {
        SendMessageW(app.hStatusBar, SB_SETPARTS, count, reinterpret_cast<LPARAM>(edges));
    }
}

void SetStatus(AppState& app, const wchar_t* text) {
    if (!app.hStatusBar) {
        return;
    }
    wchar_t line[STATUS_TEXT_SIZE];
    StringCchCopyW(line, STATUS_TEXT_SIZE, text);
    ShowNow(app, line);
}

void ShowRunStatus(AppState& app, const StatusText& text) {
    if (!app.hStatusBar) {
        return;
    }
    if (text.atOnce) {
        ShowNow(app, AsWide(text.text.c_str()));
    } else {
        KeepWaiting(app, AsWide(text.text.c_str()));
    }
}

void UpdateStatusCounts(AppState& app) {
    app.statusLine.countsDue = false;
    SetCountText(app, STATUS_PART_PLAYERS, L"Player", app.shownPlayers);
    if (!FindingNarrows(app)) {
        SetCountText(app, STATUS_PART_SERVERS, L"Server", app.shownServers);
        return;
    }
    // "3 of 120 Servers": the servers shown of those the other filters list.
    wchar_t text[64];
    FormatInto(text, ARRAYSIZE(text), L"{} of {} Server{}", app.shownServers, app.listedServers,
               AsWide(PluralSuffix(app.listedServers)));
    SetPartText(app, STATUS_PART_SERVERS, text);
}

void UpdateStatusCountsSoon(AppState& app) {
    app.statusLine.countsDue = true;
    ShowWhenDue(app);
}

void FlushStatus(AppState& app) {
    while (ShowOldestWaiting(app)) {
    }
    if (app.statusLine.countsDue) {
        UpdateStatusCounts(app);
    }
    app.statusLine.lastShown = timeGetTime();
}
