// The server info dialog's two small graphs of the server's last day, ping and players, with their scales, and the
// text of the sample under the pointer. Drawn at the window's DPI, in the dialog's font. Win32 side; user interface
// thread only.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "core/history/server_history.h"

// The ping colours: the main shade of the list's ping dots (res/icons/src/ping_*.txt).
constexpr COLORREF GOOD_PING_COLOUR = RGB(0x2F, 0xBF, 0x2F);
constexpr COLORREF MEDIUM_PING_COLOUR = RGB(0xF2, 0xD2, 0x1B);
constexpr COLORREF BAD_PING_COLOUR = RGB(0xE5, 0x30, 0x30);
constexpr COLORREF PLAYERS_COLOUR = RGB(0x1E, 0x5A, 0xC8);
constexpr COLORREF MAX_CLIENTS_COLOUR = RGB(0xA8, 0xA8, 0xA8);

// A server's last day as the dialog shows it: a copy taken with the rest of its info.
struct InfoHistory {
    std::vector<HistoryBucket> buckets; // oldest first; none: no history yet
    int64_t now = 0;                    // the graphs' right edge, seconds since 1970
    int32_t goodPing = 0;               // the ping colours' thresholds
    int32_t mediumPing = 0;
};

enum class HistoryGraph { Ping, Players };

// Paints the whole control: its scales, and the buckets' points and lines.
void DrawHistoryGraph(HWND control, HDC dc, HistoryGraph graph, const InfoHistory& history);
// What the bucket under `x` (the control's client coordinates) says, empty for none.
std::wstring SampleUnder(HWND control, HistoryGraph graph, const InfoHistory& history, int x);
// The colour a ping is drawn in.
COLORREF PingColour(uint32_t ping, const InfoHistory& history);
