#include "app/status_bar.h"

#include "app/app_state.h"

#include <commctrl.h>
#include <mmsystem.h>
#include <strsafe.h>

#include <cstdarg>

#include "app/app_messages.h"
#include "base/text.h"
#include "base/wide.h"
#include "resource.h"

namespace {

constexpr int STATUS_PART_LINE = 0;
constexpr int STATUS_PART_PLAYERS = 1;
constexpr int STATUS_PART_SERVERS = 2;
constexpr size_t STATUS_TEXT_SIZE = 1024;
constexpr UINT_PTR STATUS_TIMER_ID = 0x5354;

// Workers' texts waiting for the bar, oldest first, and whether a wake-up for them is on its way; under
// waitingLock. Two are kept, so that a query's line and the one right after it (its reply, or a failed send) are
// both seen at a human rate; a third drops the older two, so a flood shows its latest.
constexpr int WAITING_MAX = 2;
SRWLOCK waitingLock = SRWLOCK_INIT;
wchar_t waitingTexts[WAITING_MAX][STATUS_TEXT_SIZE];
int waitingCount = 0;
bool wakePosted = false;

// The user interface thread's own: the bar's thread, when it last changed, and what is due at the next change.
DWORD barThread = 0;
DWORD lastShown = 0;
bool timerSet = false;
bool countsDue = false;

bool OnBarThread() {
    return GetCurrentThreadId() == barThread;
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

// User interface thread: takes the oldest waiting text into `text`; returns false when none waits. The wake-up is
// spent once nothing is left waiting; `more` tells whether something is.
bool TakeWaitingText(wchar_t (&text)[STATUS_TEXT_SIZE], bool& more) {
    AcquireSRWLockExclusive(&waitingLock);
    bool taken = waitingCount > 0;
    if (taken) {
        StringCchCopyW(text, STATUS_TEXT_SIZE, waitingTexts[0]);
        for (int i = 1; i < waitingCount; ++i) {
            StringCchCopyW(waitingTexts[i - 1], STATUS_TEXT_SIZE, waitingTexts[i]);
        }
        --waitingCount;
    }
    more = waitingCount > 0;
    wakePosted = more;
    ReleaseSRWLockExclusive(&waitingLock);
    return taken;
}

void CALLBACK OnStatusTimer(HWND window, UINT, UINT_PTR id, DWORD);

void ScheduleShow(DWORD inMs) {
    if (!timerSet && app.hMainDlg) {
        timerSet = SetTimer(app.hMainDlg, STATUS_TIMER_ID, inMs, OnStatusTimer) != 0;
    }
}

// Shows the oldest waiting text and the counts if they are due; what still waits gets its turn an interval later.
void ShowDue() {
    wchar_t text[STATUS_TEXT_SIZE];
    bool more = false;
    if (TakeWaitingText(text, more)) {
        SetPartText(STATUS_PART_LINE, text);
    }
    if (countsDue) {
        UpdateStatusCounts();
    }
    lastShown = timeGetTime();
    if (more) {
        ScheduleShow(STATUS_INTERVAL_MS);
    }
}

void CALLBACK OnStatusTimer(HWND window, UINT, UINT_PTR id, DWORD) {
    KillTimer(window, id);
    timerSet = false;
    ShowDue();
}

// Shows what is due now if the bar last changed long enough ago, else once that time is up.
void ShowWhenDue() {
    DWORD since = timeGetTime() - lastShown;
    if (since >= STATUS_INTERVAL_MS) {
        ShowDue();
    } else {
        ScheduleShow(STATUS_INTERVAL_MS - since);
    }
}

// A worker's text: kept as the waiting one, and the user interface thread woken for it unless it already is.
void KeepWaiting(const wchar_t* text) {
    if (!app.hMainDlg) {
        SetPartText(STATUS_PART_LINE, text); // no dialog to wake: the bar takes it straight
        return;
    }
    AcquireSRWLockExclusive(&waitingLock);
    if (waitingCount == WAITING_MAX) {
        waitingCount = 0;
    }
    StringCchCopyW(waitingTexts[waitingCount++], STATUS_TEXT_SIZE, text);
    bool wake = !wakePosted;
    wakePosted = true;
    ReleaseSRWLockExclusive(&waitingLock);
    if (wake && !PostMessageW(app.hMainDlg, WM_APP_SHOW_STATUS, 0, 0)) {
        AcquireSRWLockExclusive(&waitingLock);
        wakePosted = false;
        ReleaseSRWLockExclusive(&waitingLock);
    }
}

void ShowAllWaiting() {
    wchar_t text[STATUS_TEXT_SIZE];
    bool more = false;
    while (TakeWaitingText(text, more)) {
        SetPartText(STATUS_PART_LINE, text);
    }
}

// On the user interface thread: the waiting texts first, then this one, all now.
void ShowNow(const wchar_t* text) {
    ShowAllWaiting();
    SetPartText(STATUS_PART_LINE, text);
    lastShown = timeGetTime();
}

// SetStatus and SetStatusNow: on the bar's thread the text is shown at once either way.
void ShowStatus(bool atOnce, const wchar_t* format, va_list args) {
    if (!app.hStatusBar) {
        return;
    }
    // On the caller's stack, so every thread has its own.
    wchar_t text[STATUS_TEXT_SIZE];
    StringCchVPrintfW(text, STATUS_TEXT_SIZE, format, args);
    if (OnBarThread()) {
        ShowNow(text);
    } else if (!atOnce) {
        KeepWaiting(text);
    } else if (!SendMessageW(app.hMainDlg, WM_APP_SHOW_STATUS, STATUS_AT_ONCE, reinterpret_cast<LPARAM>(text))) {
        SetPartText(STATUS_PART_LINE, text); // no dialog to ask: the bar takes it straight
    }
}

} // namespace

void CreateStatusBar() {
    RECT client{};
    GetClientRect(app.hMainDlg, &client);
    int width = client.right - client.left;

    app.hStatusBar =
        CreateWindowExW(0, STATUSCLASSNAMEW, L"", WS_CHILD | WS_VISIBLE, 0, 0, width, 0, app.hMainDlg,
                        reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDC_STATUS_BAR)), app.hInstance, nullptr);
    // A new bar: nothing of an earlier one's is waiting or on its way.
    barThread = GetCurrentThreadId();
    timerSet = false;
    countsDue = false;
    AcquireSRWLockExclusive(&waitingLock);
    waitingCount = 0;
    wakePosted = false;
    ReleaseSRWLockExclusive(&waitingLock);

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
    va_list args;
    va_start(args, format);
    ShowStatus(false, format, args);
    va_end(args);
}

void SetStatusNow(const wchar_t* format, ...) {
    va_list args;
    va_start(args, format);
    ShowStatus(true, format, args);
    va_end(args);
}

void UpdateStatusCounts() {
    countsDue = false;
    SetCountText(STATUS_PART_PLAYERS, L"%d Player%s", app.shownPlayers);
    SetCountText(STATUS_PART_SERVERS, L"%d Server%s", app.shownServers);
}

void UpdateStatusCountsSoon() {
    countsDue = true;
    ShowWhenDue();
}

void FlushStatus() {
    ShowAllWaiting();
    if (countsDue) {
        UpdateStatusCounts();
    }
    lastShown = timeGetTime();
}

void OnStatusWake(WPARAM how, LPARAM text) {
    if (how == STATUS_AT_ONCE && text) {
        ShowNow(reinterpret_cast<const wchar_t*>(text));
    } else {
        ShowWhenDue();
    }
}
