#include "windows/dialogs/history_graphs.h"

#include <algorithm>
#include <climits>

#include "core/display/dpi_scale.h"
#include "core/display/server_columns.h"
#include "core/history/history_graph.h"
#include "core/history/history_texts.h"
#include "platform/win32/wide.h"
#include "platform/win32/win_holders.h"
#include "windows/support/display_dpi.h"
#include "windows/support/local_time.h"

namespace {

constexpr int HOUR_TICK_STEP = 6;   // hours between the time scale's labels
constexpr int JOINED_GAP_SLOTS = 4; // buckets further apart than 20 minutes are points, not a line
constexpr int POINT_SIZE = 4;       // pixels at 96 DPI
constexpr COLORREF GRID_COLOUR = RGB(0xDC, 0xDC, 0xDC);
constexpr int POINTER_REACH = 3;

// The control's plot and scale, the same for its painting and for the pointer.
struct GraphLayout {
    RECT plot;
    GraphFrame frame;
    int top; // the value at the plot's top
    std::wstring unit;
};

int Highest(HistoryGraph graph, const InfoHistory& history) {
    int highest = 0;
    for (const HistoryBucket& bucket : history.buckets) {
        highest = std::max<int>(highest, graph == HistoryGraph::Ping ? bucket.highestPing
                                                                     : std::max(bucket.mostPlayers, bucket.maxClients));
    }
    return highest;
}

int TextWidth(HDC dc, const std::wstring& text) {
    SIZE size{};
    GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
    return size.cx;
}

// The dialog's font, selected into `dc` while this lives.
class DialogFont {
public:
    DialogFont(HWND control, HDC dc) : dc_(dc) {
        auto font = reinterpret_cast<HFONT>(SendMessageW(GetParent(control), WM_GETFONT, 0, 0));
        old_ = font ? SelectObject(dc, font) : nullptr;
    }
    ~DialogFont() {
        if (old_) {
            SelectObject(dc_, old_);
        }
    }
    DialogFont(const DialogFont&) = delete;
    DialogFont& operator=(const DialogFont&) = delete;

private:
    HDC dc_;
    HGDIOBJ old_;
};

GraphLayout LayoutOf(HWND control, HDC dc, HistoryGraph graph, const InfoHistory& history) {
    UINT dpi = WindowDpi(control);
    RECT client{};
    GetClientRect(control, &client);
    TEXTMETRICW metrics{};
    GetTextMetricsW(dc, &metrics);
    GraphLayout layout{};
    layout.top = GraphTop(Highest(graph, history), graph == HistoryGraph::Ping ? 100 : 4);
    layout.unit = graph == HistoryGraph::Ping ? L"ms" : L"players";
    int gap = ScaleToDpi(4, dpi);
    int labels = std::max(TextWidth(dc, std::to_wstring(layout.top)), TextWidth(dc, layout.unit));
    layout.plot = RECT{client.left + labels + gap, client.top + metrics.tmHeight / 2 + 1,
                       client.right - TextWidth(dc, L"00:00") / 2 - 1, client.bottom - metrics.tmHeight - gap};
    layout.frame = GraphFrame{history.now, std::max<int>(2, layout.plot.right - layout.plot.left),
                              std::max<int>(2, layout.plot.bottom - layout.plot.top)};
    return layout;
}

// Local time less UTC at `seconds`.
int64_t LocalOffset(int64_t seconds) {
    int64_t local = seconds;
    return SecondsFromCivil(LocalCivilTime(seconds), &local) ? local - seconds : 0;
}

void DrawText(HDC dc, const std::wstring& text, int x, int y, UINT align) {
    SetTextAlign(dc, align);
    TextOutW(dc, x, y, text.c_str(), static_cast<int>(text.size()));
}

void Line(HDC dc, COLORREF colour, int width, POINT from, POINT to) {
    GdiHandle pen(CreatePen(PS_SOLID, width, colour));
    HGDIOBJ old = SelectObject(dc, pen.get());
    MoveToEx(dc, from.x, from.y, nullptr);
    LineTo(dc, to.x, to.y);
    SelectObject(dc, old);
}

void Fill(HDC dc, const RECT& rect, COLORREF colour) {
    SetBkColor(dc, colour);
    ExtTextOutW(dc, 0, 0, ETO_OPAQUE, &rect, nullptr, 0, nullptr);
}

void DrawScales(HDC dc, const GraphLayout& layout, const InfoHistory& history, UINT dpi) {
    const RECT& plot = layout.plot;
    Fill(dc, plot, GetSysColor(COLOR_WINDOW));
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, GetSysColor(COLOR_BTNTEXT));
    TEXTMETRICW metrics{};
    GetTextMetricsW(dc, &metrics);
    int labelRight = plot.left - ScaleToDpi(3, dpi);
    DrawText(dc, std::to_wstring(layout.top), labelRight, plot.top - metrics.tmHeight / 2, TA_RIGHT | TA_TOP);
    DrawText(dc, L"0", labelRight, plot.bottom - metrics.tmHeight / 2 - 1, TA_RIGHT | TA_TOP);
    DrawText(dc, layout.unit, labelRight, (plot.top + plot.bottom - metrics.tmHeight) / 2, TA_RIGHT | TA_TOP);
    COLORREF grid = GRID_COLOUR;
    int lastLabelRight = INT_MIN;
    for (int64_t tick : HourTicks(layout.frame, LocalOffset(history.now), HOUR_TICK_STEP)) {
        int x = plot.left + GraphX(layout.frame, tick);
        Line(dc, grid, 1, {x, plot.top}, {x, plot.bottom + ScaleToDpi(2, dpi)});
        std::wstring label = AsWide(HourLabel(LocalCivilTime(tick)).c_str());
        int half = TextWidth(dc, label) / 2;
        if (x - half > lastLabelRight) {
            DrawText(dc, label, x, plot.bottom + ScaleToDpi(2, dpi), TA_CENTER | TA_TOP);
            lastLabelRight = x + half;
        }
    }
    COLORREF axis = GetSysColor(COLOR_BTNSHADOW);
    Line(dc, axis, 1, {plot.left, plot.bottom}, {plot.right, plot.bottom});
    Line(dc, axis, 1, {plot.left, plot.top}, {plot.left, plot.bottom});
}

bool OnTheGraph(const GraphFrame& frame, const HistoryBucket& bucket) {
    return bucket.Start() + HISTORY_BUCKET_SECONDS > frame.now - HISTORY_SPAN_SECONDS && bucket.Start() <= frame.now;
}

void DrawBuckets(HDC dc, const GraphLayout& layout, HistoryGraph graph, const InfoHistory& history, UINT dpi) {
    const RECT& plot = layout.plot;
    int width = std::max(1, ScaleToDpi(1, dpi));
    int point = ScaleToDpi(POINT_SIZE, dpi);
    auto at = [&](const HistoryBucket& bucket, int value) {
        return POINT{plot.left + BucketX(layout.frame, bucket), plot.top + GraphY(layout.frame, value, layout.top)};
    };
    const HistoryBucket* previous = nullptr;
    for (const HistoryBucket& bucket : history.buckets) {
        if (!OnTheGraph(layout.frame, bucket)) {
            continue;
        }
        bool joined = previous && bucket.slot - previous->slot <= JOINED_GAP_SLOTS;
        int value = graph == HistoryGraph::Ping ? bucket.MeanPing() : bucket.mostPlayers;
        COLORREF colour = graph == HistoryGraph::Ping ? PingColour(bucket.MeanPing(), history) : PLAYERS_COLOUR;
        if (graph == HistoryGraph::Players) {
            POINT full = at(bucket, bucket.maxClients);
            Line(dc, MAX_CLIENTS_COLOUR, width,
                 joined ? at(*previous, previous->maxClients) : POINT{full.x - point / 2, full.y}, full);
        } else {
            Line(dc, colour, width, at(bucket, bucket.lowestPing), at(bucket, bucket.highestPing));
        }
        POINT here = at(bucket, value);
        if (joined) {
            int before = graph == HistoryGraph::Ping ? previous->MeanPing() : previous->mostPlayers;
            Line(dc, colour, width, at(*previous, before), here);
        }
        RECT dot{here.x - point / 2, here.y - point / 2, here.x - point / 2 + point, here.y - point / 2 + point};
        Fill(dc, dot, colour);
        previous = &bucket;
    }
}

} // namespace

COLORREF PingColour(uint32_t ping, const InfoHistory& history) {
    int image = PingImage(ping, history.goodPing, history.mediumPing);
    return image == IMAGE_PING_GOOD     ? GOOD_PING_COLOUR
           : image == IMAGE_PING_MEDIUM ? MEDIUM_PING_COLOUR
                                        : BAD_PING_COLOUR;
}

void DrawHistoryGraph(HWND control, HDC dc, HistoryGraph graph, const InfoHistory& history) {
    UINT dpi = WindowDpi(control);
    RECT client{};
    GetClientRect(control, &client);
    Fill(dc, client, GetSysColor(COLOR_BTNFACE));
    DialogFont font(control, dc);
    GraphLayout layout = LayoutOf(control, dc, graph, history);
    int saved = SaveDC(dc);
    DrawScales(dc, layout, history, dpi);
    IntersectClipRect(dc, layout.plot.left, layout.plot.top - ScaleToDpi(POINT_SIZE, dpi), layout.plot.right + 1,
                      layout.plot.bottom + 1);
    DrawBuckets(dc, layout, graph, history, dpi);
    RestoreDC(dc, saved);
}

std::wstring SampleUnder(HWND control, HistoryGraph graph, const InfoHistory& history, int x) {
    HDC dc = GetDC(control);
    if (!dc) {
        return std::wstring();
    }
    GraphLayout layout;
    {
        DialogFont font(control, dc);
        layout = LayoutOf(control, dc, graph, history);
    }
    ReleaseDC(control, dc);
    int reach = ScaleToDpi(POINTER_REACH, WindowDpi(control));
    int found = BucketNearest(layout.frame, history.buckets, x - layout.plot.left, reach);
    if (found < 0 || x < layout.plot.left - reach || x > layout.plot.right + reach) {
        return std::wstring();
    }
    const HistoryBucket& bucket = history.buckets[static_cast<size_t>(found)];
    return AsWide(HistorySampleText(LocalCivilTime(bucket.Start()), bucket).c_str());
}
