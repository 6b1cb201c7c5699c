#include "windows/app/main_window_views.h"

#include "windows/app/main_window_state.h"

#include "core/run/run_status.h"
#include "core/settings/settings_store.h"
#include "core/text/address.h"
#include "core/text/format.h"
#include "platform/win32/wide.h"
#include "resource.h"
#include "windows/app/busy_controls.h"
#include "windows/app/main_window_settings.h"
#include "windows/app/run_controller.h"
#include "windows/app/server_menu.h"
#include "windows/app/watching.h"
#include "windows/dialogs/server_info_dialog.h"
#include "windows/launch/game_launcher.h"
#include "windows/launch/game_search.h"
#include "windows/views/list_item.h"
#include "windows/views/search_box.h"
#include "windows/views/show_choice.h"

namespace {

bool IsChecked(MainWindowState& app, int id) {
    return SendDlgItemMessageW(app.hMainDlg, id, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

StatusCounts CountsOf(const MainWindowState& app) {
    return StatusCounts{app.servers.shownPlayers, app.servers.shownServers, app.servers.listedServers,
                        app.finding.Narrows()};
}

void ShowBusyState(MainWindowState& app) {
    const RunState& run = app.session.run;
    ShowBusy(app.hMainDlg, run.running, run.aborting, app.session.gameSearch != nullptr);
}

JoinHost JoinHostOf(MainWindowState& app) {
    Session& session = app.session;
    return JoinHost{app.hMainDlg, session.config, session.lists, app.status, session.gameSearch};
}

// Messages whose sender reads a result: it goes back through DWLP_MSGRESULT.
BOOL ReturnResult(MainWindowState& app, LONG_PTR result) {
    SetWindowLongPtrW(app.hMainDlg, DWLP_MSGRESULT, result);
    return TRUE;
}

// The rows that show a buddy: a server with one among its players, or a player who is one.
bool IsHighlightedRow(MainWindowState& app, HWND list, int row) {
    if (list == app.servers.list) {
        const ServerRecord* record = RowServerRecord(app.servers, app.session.shown, row);
        return record && ServerHasBuddy(app.buddies, *record);
    }
    LPARAM data = 0;
    return ReadListItemData(list, row, data) && data != 0 &&
           IsBuddy(app.buddies, reinterpret_cast<PlayerRecord*>(data)->name);
}

INT_PTR OnServerListNotify(MainWindowState& app, NMHDR* header) {
    ServerListView& servers = app.servers;
    const ShownTable& shown = app.session.shown;
    switch (header->code) {
    case NM_RCLICK: {
        const auto& click = *reinterpret_cast<NMITEMACTIVATE*>(header);
        const ServerRecord* record = RowServerRecord(servers, shown, click.iItem);
        if (!record) {
            return FALSE;
        }
        const Session& session = app.session;
        InfoHistory history =
            InfoHistoryOf(*record, session.config.keepHistory ? &session.history.keeper.Histories() : nullptr,
                          app.clock->UnixSeconds(), session.config);
        ServerMenuChange change =
            ShowServerMenu(servers.list, click.ptAction, *record, shown, JoinHostOf(app), std::move(history));
        // The settings are written at exit; the favourites also at once, so that a crash does not lose them.
        if (change.favourites) {
            SaveSettings(GatherSettings(app));
        }
        ShowBusyState(app); // a join may have begun the search for the game
        if (change.favourites || change.history) {
            OnServerListsChanged(app);
        }
        return FALSE;
    }
    case NM_DBLCLK:
        JoinRowServer(app, reinterpret_cast<NMITEMACTIVATE*>(header)->iItem);
        return FALSE;
    case LVN_GETDISPINFOW:
        GetServerDispInfo(servers, ListInputs(app), reinterpret_cast<NMLVDISPINFOW*>(header));
        return FALSE;
    case LVN_COLUMNCLICK:
        OnServerColumnClick(servers, shown, reinterpret_cast<NMLISTVIEW*>(header)->iSubItem);
        return FALSE;
    case LVN_ITEMCHANGED:
        if (!servers.followingRows) {
            ShowSelectedPlayers(app);
        }
        return FALSE;
    case LVN_ODFINDITEMW:
        return ReturnResult(app, FindRowByHostName(servers, shown, *reinterpret_cast<NMLVFINDITEMW*>(header)));
    case LVN_GETINFOTIPW:
        GetSearchInfoTip(servers, ListInputs(app), reinterpret_cast<NMLVGETINFOTIPW*>(header));
        return FALSE;
    }
    return FALSE;
}

} // namespace

void ShowCounts(MainWindowState& app) {
    ShowStatusCounts(app.status, CountsOf(app));
}

void RefilterServers(MainWindowState& app, bool searchChanged) {
    bool countsChanged = false;
    if (RefilterServerList(app.servers, ListInputs(app), IsChecked(app, IDC_SHOW_FULL), IsChecked(app, IDC_SHOW_EMPTY),
                           searchChanged, &countsChanged)) {
        ShowSelectedPlayers(app);
    }
    if (countsChanged) {
        ShowCounts(app);
    }
}

void ShowSelectedPlayers(MainWindowState& app) {
    const ShownTable& shown = app.session.shown;
    int32_t index = SelectedServerIndex(app.servers, shown);
    ServerRecord* record = index >= 0 ? &shown.At(index) : nullptr;
    const ServerSearch& search = app.finding.search;
    FillPlayerList(app.players, record, search);
    if (record && search.Active()) {
        SetStatus(app.status, AsWide(MatchText(*record, MatchServer(*record, search)).c_str()));
    }
}

void OnSearchTextChanged(MainWindowState& app) {
    bool wasActive = app.finding.search.Active();
    if (!ReadSearchBox(GetDlgItem(app.hMainDlg, IDC_SEARCH), app.finding)) {
        return;
    }
    // The rows' tips say why they matched, and the player list shows the player who matched even while the server
    // list has the focus; both only while there is a search. A change of style repaints the whole list, so only a
    // search that begins or ends changes them.
    bool active = app.finding.search.Active();
    if (active != wasActive) {
        ShowSearchTips(app.servers, active);
        ShowMatchedPlayerAlways(app.players, active);
    }
    RefilterServers(app, true);
}

bool ClearSearch(MainWindowState& app) {
    HWND box = GetDlgItem(app.hMainDlg, IDC_SEARCH);
    if (GetWindowTextLengthW(box) == 0) {
        return false;
    }
    SetWindowTextW(box, L"");
    OnSearchTextChanged(app); // as its EN_CHANGE does, which has then nothing left to do
    return true;
}

void OnShowChoiceChanged(MainWindowState& app) {
    if (ReadShowChoice(GetDlgItem(app.hMainDlg, IDC_SHOW), app.finding)) {
        RefilterServers(app, true);
    }
}

void OnServerListsChanged(MainWindowState& app) {
    RemarkServerRows(app.servers);
    // A join from the menu may have closed the window.
    if (app.finding.showChoice != SHOW_ALL && app.servers.list) {
        RefilterServers(app, true);
    }
}

void ToggleUpdate(MainWindowState& app) {
    RunState& run = app.session.run;
    if (run.running) {
        AbortUpdateRun(run);
        ShowBusyState(app);
        return;
    }
    DWORD error = 0;
    bool started = StartUpdateRun(app.hMainDlg, app.session, app.modFilters, &error);
    ShowBusyState(app);
    if (!started) {
        SetStatus(app.status, fmt::format(L"Couldn't start the update: error {}", error).c_str());
    }
}

bool StopSearchingGame(MainWindowState& app) {
    return StopGameSearch(app.session.gameSearch);
}

void JoinRowServer(MainWindowState& app, int row) {
    const ServerRecord* record = RowServerRecord(app.servers, app.session.shown, row);
    if (!record) {
        return;
    }
    wchar_t address[JOIN_ADDRESS_SIZE];
    FormatServerAddress(AsU16(address), JOIN_ADDRESS_SIZE, record->addr, record->port);
    JoinServer(JoinHostOf(app), address);
    ShowBusyState(app); // the search for the game may have begun
}

void TakeGameSearch(MainWindowState& app) {
    GameSearchEnd end;
    if (TakeGameSearchReports(GameSearchHost{app.hMainDlg, app.session.gameSearch, app.status}, end)) {
        ShowBusyState(app);
        OnGameSearchEnded(JoinHostOf(app), end);
    }
}

ReportTaken TakeRunReport(MainWindowState& app) {
    Session& session = app.session;
    if (!session.run.handle) {
        return ReportTaken::Nothing;
    }
    RunReport report = TakeRunReport(session.run);
    // A take that found something leaves the run's wake-ups off: the next take is this thread's to make.
    bool cameWithSomething = !report.Empty();
    if (report.table) {
        ShowServerTable(app, std::move(report.table));
        session.shown.masters = session.run.masters;
        session.shown.modDir = session.run.modDir;
    }
    if (session.shown.table) {
        // The table grows as masters answer; every record a reply below names is in it by now.
        session.shown.count = static_cast<int32_t>(session.shown.table->size());
    }
    std::vector<int32_t> replies;
    for (const RunEvent& event : report.events) {
        if (const auto* answered = std::get_if<run_event::Answered>(&event)) {
            replies.push_back(answered->index);
        } else if (const auto* ended = std::get_if<run_event::SourceEnded>(&event)) {
            session.run.sources.push_back(ended->result);
        }
    }
    ListDeliveredReplies(app.servers, ListInputs(app), replies);
    TakeServerAnswers(app, AnsweredRecords(*session.shown.table, replies), AnswerFrom::Run);
    RepaintServerListWhenDue(app.servers);
    for (const StatusText& text : RunStatus(session.run.masters).Texts(report, session.shown.table.get())) {
        ShowRunStatus(app.status, text);
    }
    if (report.end) {
        // Whatever the run left waiting is shown before the controls say it is over, with the marks of rows
        // listed before a later source named their server too (a LAN answer for a server a master listed).
        ShowCounts(app);
        app.servers.dirty = true;
        RepaintServerList(app.servers);
        FlushStatus(app.status);
        EndUpdateRun(session.run);
        ShowBusyState(app);
        return ReportTaken::Ended;
    }
    ShowStatusCountsSoon(app.status, CountsOf(app));
    return cameWithSomething ? ReportTaken::More : ReportTaken::Nothing;
}

void ShowServerTable(MainWindowState& app, std::shared_ptr<ServerTable> table) {
    EmptyServerList(app.servers);
    EmptyPlayerList(app.players);
    ShownTable& shown = app.session.shown;
    shown.table = std::move(table);
    app.finding.searchTexts.clear(); // they were the last table's
    shown.count = shown.table ? static_cast<int32_t>(shown.table->size()) : 0;
    ShowCounts(app); // "0 Players", "0 Servers"
}

INT_PTR OnListNotify(MainWindowState& app, NMHDR* header) {
    HWND list = header->idFrom == IDC_SERVER_LIST   ? app.servers.list
                : header->idFrom == IDC_PLAYER_LIST ? app.players.list
                                                    : nullptr;
    if (!list) {
        return FALSE;
    }
    if (header->code == NM_CUSTOMDRAW) {
        return ReturnResult(app, OnListCustomDraw(reinterpret_cast<NMLVCUSTOMDRAW*>(header),
                                                  [&](int row) { return IsHighlightedRow(app, list, row); }));
    }
    if (header->code == LVN_DELETEALLITEMS) {
        // No LVN_DELETEITEM for each row, as nothing is kept per row: for a list of ten thousand servers those
        // notifications held this thread for a third of a second.
        return ReturnResult(app, TRUE);
    }
    return list == app.servers.list ? OnServerListNotify(app, header) : OnPlayerListNotify(app.players, header);
}
