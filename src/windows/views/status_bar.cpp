#include "windows/views/status_bar.h"

#include <commctrl.h>
#include <strsafe.h>

#include "core/display/dpi_scale.h"
#include "core/text/format.h"
#include "core/text/text.h"
#include "platform/win32/wide.h"
#include "resource.h"

namespace {

constexpr int STATUS_PART_LINE = 0;
constexpr int STATUS_PART_PLAYERS = 1;
constexpr int STATUS_PART_SERVERS = 2;
constexpr size_t STATUS_TEXT_SIZE = 1024;
// The bar's own property: the status line it shows, for its timer.
constexpr const wchar_t* STATUS_LINE_PROPERTY = L"StatusLineProperty";

void SetPartText(StatusLine& line, int part, const wchar_t* text) {
    SendMessageW(line.bar, SB_SETTEXTW, part, reinterpret_cast<LPARAM>(text));
}

void SetPartIcon(StatusLine& line, int part, int iconId, PixelSize size) {
    // The bar does not own its icons: the one it showed goes when it is replaced.
    HANDLE icon = LoadImageW(line.instance, MAKEINTRESOURCEW(iconId), IMAGE_ICON, size.width, size.height, 0);
    auto old = reinterpret_cast<HICON>(SendMessageW(line.bar, SB_GETICON, part, 0));
    SendMessageW(line.bar, SB_SETICON, part, reinterpret_cast<LPARAM>(icon));
    if (old) {
        DestroyIcon(old);
    }
}

// "1 Player", "2 Players": `noun` with the count and its plural suffix.
void SetCountText(StatusLine& line, int part, const wchar_t* noun, int count) {
    wchar_t text[64];
    FormatInto(text, ARRAYSIZE(text), L"{} {}{}", count, noun, AsWide(PluralSuffix(count)));
    SetPartText(line, part, text);
}

// Shows the oldest waiting text; returns false when none waits.
bool ShowOldestWaiting(StatusLine& line) {
    if (line.waiting.Empty()) {
        return false;
    }
    std::wstring text = line.waiting.TakeOldest();
    SetPartText(line, STATUS_PART_LINE, text.c_str());
    return true;
}

void CALLBACK OnStatusTimer(HWND bar, UINT, UINT_PTR, DWORD);

// Shows the oldest waiting text and the counts if they are due; what still waits gets its turn an interval later.
void ShowDue(StatusLine& line) {
    ShowOldestWaiting(line);
    if (line.countsDue) {
        ShowStatusCounts(line, line.counts);
    }
    line.throttle.Done();
    if (!line.waiting.Empty()) {
        line.throttle.Schedule(line.bar, OnStatusTimer);
    }
}

void CALLBACK OnStatusTimer(HWND bar, UINT, UINT_PTR, DWORD) {
    if (auto* line = static_cast<StatusLine*>(GetPropW(bar, STATUS_LINE_PROPERTY))) {
        line->throttle.TimerEnded(bar);
        ShowDue(*line);
    }
}

// Shows what is due now if the bar last changed long enough ago, else once that time is up.
void ShowWhenDue(StatusLine& line) {
    if (line.throttle.Due()) {
        ShowDue(line);
    } else {
        line.throttle.Schedule(line.bar, OnStatusTimer);
    }
}

// The waiting texts first, then this one, all now.
void ShowNow(StatusLine& line, const wchar_t* text) {
    while (ShowOldestWaiting(line)) {
    }
    SetPartText(line, STATUS_PART_LINE, text);
    line.throttle.Done();
}

} // namespace

void CreateStatusBar(StatusLine& line, HWND dialog, HINSTANCE instance, UINT dpi) {
    RECT client{};
    GetClientRect(dialog, &client);
    int width = client.right - client.left;

    line.instance = instance;
    line.bar = CreateWindowExW(0, STATUSCLASSNAMEW, L"", WS_CHILD | WS_VISIBLE, 0, 0, width, 0, dialog,
                               reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDC_STATUS_BAR)), instance, nullptr);
    // A new bar: nothing of an earlier one's is waiting.
    line.waiting.Clear();
    line.countsDue = false;
    line.counts = StatusCounts{};
    SetPropW(line.bar, STATUS_LINE_PROPERTY, &line);

    // The part edges follow the width at creation only; later size changes keep them.
    int edges[3];
    edges[0] = width * 40 / 70;
    edges[1] = edges[0] + width * 15 / 70;
    edges[2] = edges[1] + width * 15 / 70;
    SendMessageW(line.bar, SB_SETPARTS, ARRAYSIZE(edges), reinterpret_cast<LPARAM>(edges));

    SetStatusIcons(line, dpi);

    SetStatus(line, L"Updating Server List...");
    SetPartText(line, STATUS_PART_PLAYERS, L"0 Players");
    SetPartText(line, STATUS_PART_SERVERS, L"0 Servers");
}

void SetStatusIcons(StatusLine& line, UINT dpi) {
    SetPartIcon(line, STATUS_PART_PLAYERS, IDI_PLAYER, ListImageSize(dpi));
    SetPartIcon(line, STATUS_PART_SERVERS, IDI_COMPUTER, ListImageSize(dpi));
    SetPartIcon(line, STATUS_PART_LINE, IDI_STATUS, StatusIconSize(dpi));
}

void ScaleStatusParts(StatusLine& line, UINT fromDpi, UINT toDpi) {
    int edges[3];
    int count =
        static_cast<int>(SendMessageW(line.bar, SB_GETPARTS, ARRAYSIZE(edges), reinterpret_cast<LPARAM>(edges)));
    for (int i = 0; i < count && i < static_cast<int>(ARRAYSIZE(edges)); ++i) {
        if (edges[i] >= 0) { // -1: the part reaches the bar's end
            edges[i] = ScaleBetweenDpi(edges[i], fromDpi, toDpi);
        }
    }
    if (count > 0) {
        SendMessageW(line.bar, SB_SETPARTS, count, reinterpret_cast<LPARAM>(edges));
    }
}

void SetStatus(StatusLine& line, const wchar_t* text) {
    if (!line.bar) {
        return;
    }
    wchar_t cut[STATUS_TEXT_SIZE];
    StringCchCopyW(cut, STATUS_TEXT_SIZE, text);
    ShowNow(line, cut);
}

void ShowRunStatus(StatusLine& line, const StatusText& text) {
    if (!line.bar) {
        return;
    }
    std::wstring shown(AsWide(text.text.c_str()));
    if (shown.size() >= STATUS_TEXT_SIZE) {
        shown.resize(STATUS_TEXT_SIZE - 1);
    }
    if (text.atOnce) {
        ShowNow(line, shown.c_str());
    } else {
        line.waiting.Push(std::move(shown));
        ShowWhenDue(line);
    }
}

void ShowStatusCounts(StatusLine& line, const StatusCounts& counts) {
    line.counts = counts;
    line.countsDue = false;
    if (!line.bar) {
        return;
    }
    SetCountText(line, STATUS_PART_PLAYERS, L"Player", counts.players);
    if (!counts.narrowed) {
        SetCountText(line, STATUS_PART_SERVERS, L"Server", counts.shown);
        return;
    }
    // "3 of 120 Servers": the servers shown of those the other filters list.
    wchar_t text[64];
    FormatInto(text, ARRAYSIZE(text), L"{} of {} Server{}", counts.shown, counts.listed,
               AsWide(PluralSuffix(counts.listed)));
    SetPartText(line, STATUS_PART_SERVERS, text);
}

void ShowStatusCountsSoon(StatusLine& line, const StatusCounts& counts) {
    line.counts = counts;
    line.countsDue = true;
    if (line.bar) {
        ShowWhenDue(line);
    }
}

void FlushStatus(StatusLine& line) {
    while (ShowOldestWaiting(line)) {
    }
    if (line.countsDue) {
        ShowStatusCounts(line, line.counts);
    }
    line.throttle.Done();
}

void ForgetStatusBar(StatusLine& line) {
    if (line.bar) {
        line.throttle.TimerEnded(line.bar);
        RemovePropW(line.bar, STATUS_LINE_PROPERTY);
        line.bar = nullptr;
    }
}
