#include "windows/dialogs/server_info_dialog.h"

#include <strsafe.h>

#include <windowsx.h>

#include "core/protocol/source_set.h"
#include "core/settings/recent_servers.h"
#include "core/text/address.h"
#include "core/text/ansi_decoder.h"
#include "core/text/format.h"
#include "platform/win32/wide.h"
#include "resource.h"
#include "windows/dialogs/text_table.h"
#include "windows/support/local_time.h"
#include "windows/views/sizer.h"

namespace {

// "Last joined ..." for a server of the history, in the local time of the join (the time zone's rule for that day).
void AddLastJoined(const ServerLists& lists, const ServerRecord& record, std::vector<std::u16string>& lines) {
    const RecentServer* recent = FindRecent(lists.recent, record.addr, record.port);
    if (!recent) {
        return;
    }
    lines.push_back(LastJoinedText(LocalCivilTime(recent->joinedAt)));
}

constexpr const wchar_t* HISTORY_PROPERTY = L"Skerrow.InfoHistory";
constexpr const wchar_t* NO_HISTORY_TEXT = L"No history yet";
constexpr size_t INFO_ADDRESS_SIZE = 64;
constexpr size_t INFO_TITLE_SIZE = 96;
constexpr int KEY_COLUMN_WIDTH = 110; // pixels at 96 DPI; the value column takes the rest of the list's width

// The list grows with the dialog, the sources box widens and stays under it, Close keeps to the corner.
const SizerAnchor ServerInfoAnchors[] = {
    {IDC_INFO_LIST, SIZER_GROW_X | SIZER_GROW_Y},
    {IDC_INFO_SOURCES_LABEL, SIZER_MOVE_Y},
    {IDC_INFO_SOURCES, SIZER_MOVE_Y | SIZER_GROW_X},
    {IDC_INFO_PING_GRAPH, SIZER_MOVE_Y | SIZER_GROW_X},
    {IDC_INFO_PLAYERS_GRAPH, SIZER_MOVE_Y | SIZER_GROW_X},
    {IDC_INFO_SAMPLE, SIZER_MOVE_Y | SIZER_GROW_X},
    {IDCANCEL, SIZER_MOVE_X | SIZER_MOVE_Y},
    {-1, SIZER_END_FLAGS},
};

// The value column, the last, takes the rest of the list's width.
const std::vector<TableColumn> INFO_COLUMNS = {{L"Key", KEY_COLUMN_WIDTH}, {L"Value", KEY_COLUMN_WIDTH}};

void FillPairs(HWND list, const std::vector<InfoPair>& pairs) {
    std::vector<std::vector<std::u16string>> rows;
    rows.reserve(pairs.size());
    for (const InfoPair& pair : pairs) {
        rows.push_back({pair.key, pair.value});
    }
    FillTextTable(list, INFO_COLUMNS, rows);
}

void OnInitDialog(HWND dialog, const ServerInfo& info) {
    wchar_t title[INFO_TITLE_SIZE];
    FormatInto(title, INFO_TITLE_SIZE, L"Server Info - {}", AsWide(info.address.c_str()));
    SetWindowTextW(dialog, title);
    FillPairs(GetDlgItem(dialog, IDC_INFO_LIST), info.pairs);

    std::u16string sources;
    for (const std::u16string& line : info.sources) {
        sources += (sources.empty() ? u"" : u"\r\n") + line;
    }
    SetDlgItemTextW(dialog, IDC_INFO_SOURCES, AsWide(sources.c_str()));
    // The graphs draw from the dialog's own copy, let go with the dialog.
    SetPropW(dialog, HISTORY_PROPERTY, new InfoHistory(info.history));
    SetDlgItemTextW(dialog, IDC_INFO_SAMPLE, info.history.buckets.empty() ? NO_HISTORY_TEXT : L"");
    SizerInstall(dialog, ServerInfoAnchors);
    FitLastColumn(GetDlgItem(dialog, IDC_INFO_LIST));
}

const InfoHistory* HistoryOf(HWND dialog) {
    return static_cast<const InfoHistory*>(GetPropW(dialog, HISTORY_PROPERTY));
}

BOOL OnDrawItem(HWND dialog, const DRAWITEMSTRUCT& item) {
    const InfoHistory* history = HistoryOf(dialog);
    if (!history || (item.CtlID != IDC_INFO_PING_GRAPH && item.CtlID != IDC_INFO_PLAYERS_GRAPH)) {
        return FALSE;
    }
    DrawHistoryGraph(item.hwndItem, item.hDC,
                     item.CtlID == IDC_INFO_PING_GRAPH ? HistoryGraph::Ping : HistoryGraph::Players, *history);
    return TRUE;
}

// The graphs take no mouse input of their own: the pointer's moves over them come here, in the dialog's client
// coordinates.
void OnMouseMove(HWND dialog, POINT at) {
    const InfoHistory* history = HistoryOf(dialog);
    if (!history || history->buckets.empty()) {
        return;
    }
    TRACKMOUSEEVENT leave{sizeof leave, TME_LEAVE, dialog, 0};
    TrackMouseEvent(&leave);
    std::wstring text;
    for (int id : {IDC_INFO_PING_GRAPH, IDC_INFO_PLAYERS_GRAPH}) {
        HWND graph = GetDlgItem(dialog, id);
        RECT rect{};
        GetWindowRect(graph, &rect);
        MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&rect), 2);
        if (PtInRect(&rect, at)) {
            text = SampleUnder(graph, id == IDC_INFO_PING_GRAPH ? HistoryGraph::Ping : HistoryGraph::Players, *history,
                               at.x - rect.left);
        }
    }
    SetDlgItemTextW(dialog, IDC_INFO_SAMPLE, text.c_str());
}

void OnMouseLeave(HWND dialog) {
    const InfoHistory* history = HistoryOf(dialog);
    if (history && !history->buckets.empty()) {
        SetDlgItemTextW(dialog, IDC_INFO_SAMPLE, L"");
    }
}

void OnDestroy(HWND dialog) {
    delete static_cast<InfoHistory*>(RemovePropW(dialog, HISTORY_PROPERTY));
}

} // namespace

InfoHistory InfoHistoryOf(const ServerRecord& record, const ServerHistories* histories, int64_t now,
                          const Configuration& config) {
    InfoHistory history;
    history.now = now;
    history.goodPing = config.goodPing;
    history.mediumPing = config.mediumPing;
    if (const ServerHistory* server = histories ? histories->Find(record.addr, record.port) : nullptr) {
        history.buckets = server->buckets;
    }
    return history;
}

ServerInfo ServerInfoOf(const ServerRecord& record, const ShownTable& shown, const ServerLists& lists) {
    ServerInfo info;
    char16_t address[INFO_ADDRESS_SIZE];
    FormatServerAddress(address, INFO_ADDRESS_SIZE, record.addr, record.port);
    info.address = address;
    info.pairs = ReadInfoPairs(record.infoText, DecodeAnsi);
    info.sources = SourceLines(record.sources.load(std::memory_order_relaxed), shown.MasterNames());
    AddLastJoined(lists, record, info.sources);
    return info;
}

void RunServerInfoDialog(HWND owner, const ServerInfo& info) {
    DialogBoxParamW(reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(owner, GWLP_HINSTANCE)),
                    MAKEINTRESOURCEW(IDD_SERVER_INFO), owner, ServerInfoDlgProc, reinterpret_cast<LPARAM>(&info));
}

INT_PTR CALLBACK ServerInfoDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG:
        if (lParam) {
            OnInitDialog(dialog, *reinterpret_cast<const ServerInfo*>(lParam));
        }
        return TRUE;
    case WM_DRAWITEM:
        return OnDrawItem(dialog, *reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
    case WM_MOUSEMOVE:
        OnMouseMove(dialog, POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
        return TRUE;
    case WM_MOUSELEAVE:
        OnMouseLeave(dialog);
        return TRUE;
    case WM_SIZE:
        // The graphs stretch with the dialog: drawn again whole, at their new width.
        InvalidateRect(GetDlgItem(dialog, IDC_INFO_PING_GRAPH), nullptr, FALSE);
        InvalidateRect(GetDlgItem(dialog, IDC_INFO_PLAYERS_GRAPH), nullptr, FALSE);
        break;
    case WM_DESTROY:
        OnDestroy(dialog);
        return FALSE;
    }
    return TableDialogMessage(dialog, IDC_INFO_LIST, message, wParam);
}
