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
    ShowBusy(app.hMainDlg, app.session);
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
        // Read before the menu lets messages through.
        uint32_t addr = record->addr;
        uint16_t port = record->port;
        std::u16string name = record->hostname;
        const SlotWait& slot = app.watching.slot;
        bool waitingHere = slot.waiting && slot.addr == addr && slot.port == port;
        const Session& session = app.session;
        InfoHistory history =
            InfoHistoryOf(*record, session.config.keepHistory ? &session.history.keeper.Histories() : nullptr,
                          app.clock->UnixSeconds(), session.config);
        ServerMenuChange change = ShowServerMenu(servers.list, click.ptAction, *record, shown, JoinHostOf(app),
                                                 std::move(history), waitingHere);
        if (change.watch) {
            ToggleWatched(app, addr, port); // saved at once, as the favourites are
            OnServerListsChanged(app);
        } else if (change.slotWait && !(waitingHere && CancelSlotWait(app))) {
            WaitForSlot(app, addr, port, name);
        }
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
    NoteSearchKeystroke(app);
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

void SelectAlertTarget(MainWindowState& app, const AlertTarget& target) {
    const ShownTable& shown = app.session.shown;
    for (int32_t index = 0; index < shown.count; ++index) {
        // Only a delivered record's fields are this thread's to read.
        const ServerRecord& record = shown.At(index);
        if (record.delivered && record.addr == target.addr && record.port == target.port) {
            // The list's change notification fills the player list.
            if (SelectServerRow(app.servers, index) && !target.player.empty()) {
                SelectPlayerNamed(app.players, record, target.player);
            }
            return;
        }
    }
}

void ToggleUpdate(MainWindowState& app) {
    RunState& run = app.session.run;
    if (run.running) {
        AbortUpdateRun(run);
        ShowBusyState(app);
        return;
    }
    StartRun(app, false);
}

void OnTimedWorkTick(MainWindowState& app) {
    if (DoTimedWork(app)) {
        StartRun(app, true);
    }
}

void StartRun(MainWindowState& app, bool quiet) {
    RunState& run = app.session.run;
    run.quiet = quiet;
    DWORD error = 0;
    bool started = StartUpdateRun(app.hMainDlg, app.session, app.modFilters, &error);
    if (started) {
        NoteRunStarted(app);
    } else {
        run.quiet = false;
    }
    ShowBusyState(app);
    if (!started) {
        SetStatus(app.status, fmt::format(L"Couldn't start the update: error {}", error).c_str());
    }
}

bool StopSearchingGame(MainWindowState& app) {
    return StopGameSearch(app.session.gameSearch);
}

void JoinRowServer(MainWindowState& app, int row) {
    if (const ServerRecord* record = RowServerRecord(app.servers, app.session.shown, row)) {
        JoinServer(JoinHostOf(app), record->addr, record->port);
        ShowBusyState(app); // the search for the game may have begun
    }
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
    RunState& run = session.run;
    if (report.table && run.quiet) {
        run.waitingTable = std::move(report.table);
    } else if (report.table) {
        ShowServerTable(app, std::move(report.table));
        session.shown.masters = run.masters;
        session.shown.modDir = run.modDir;
    }
    if (session.shown.table) {
        // The table grows as masters answer; every record a reply below names is in it by now.
        session.shown.count = static_cast<int32_t>(session.shown.table->size());
    }
    std::vector<int32_t> replies;
    for (const RunEvent& event : report.events) {
        if (const auto* answered = std::get_if<run_event::Answered>(&event)) {
            replies.push_back(answered->index);
        } else if (const auto* query = std::get_if<run_event::Query>(&event)) {
            NoteRunQuery(app, query->addr, query->port);
        } else if (const auto* ended = std::get_if<run_event::SourceEnded>(&event)) {
            run.sources.push_back(ended->result);
        }
    }
    const ServerTable* runTable = run.quiet ? run.waitingTable.get() : session.shown.table.get();
    if (run.quiet && runTable) {
        // Taken over now, listed at the run's end.
        for (int32_t index : replies) {
            (*run.waitingTable)[static_cast<size_t>(index)].delivered = 1;
        }
        run.waitingAnswers.insert(run.waitingAnswers.end(), replies.begin(), replies.end());
    } else {
        ListDeliveredReplies(app.servers, ListInputs(app), replies);
    }
    if (runTable) {
        TakeServerAnswers(app, AnsweredRecords(*runTable, replies), AnswerFrom::Run);
        if (!app.hMainDlg) {
            return ReportTaken::Nothing; // a join that waited for a slot has begun, and the window is gone
        }
    }
    RepaintServerListWhenDue(app.servers);
    for (const StatusText& text : RunStatus(run.masters).Texts(report, runTable)) {
        ShowRunStatus(app.status, text);
    }
    // Only a run that listed servers replaces the table shown, as the user's own leaves it when nothing was listed.
    if (report.end && run.quiet && run.waitingTable && report.end->queried && !report.end->aborted) {
        ShowWaitingTable(app);
    }
    if (report.end) {
        // Whatever the run left waiting is shown before the controls say it is over, with the marks of rows
        // listed before a later source named their server too (a LAN answer for a server a master listed).
        ShowCounts(app);
        app.servers.dirty = true;
        RepaintServerList(app.servers);
        FlushStatus(app.status);
        EndUpdateRun(run);
        ShowBusyState(app);
        OnRunEnded(app, *report.end);
        return ReportTaken::Ended;
    }
    ShowStatusCountsSoon(app.status, CountsOf(app));
    return cameWithSomething ? ReportTaken::More : ReportTaken::Nothing;
}

void ShowWaitingTable(MainWindowState& app) {
    RunState& run = app.session.run;
    ShownTable& shown = app.session.shown;
    // The rows are found again by their servers: the new table holds them at other places.
    auto serverOf = [&](int32_t index) {
        return index >= 0 ? std::make_pair(shown.At(index).addr, shown.At(index).port) : std::make_pair(0u, uint16_t{0});
    };
    auto selected = serverOf(SelectedServerIndex(app.servers, shown));
    auto top = serverOf(RowServerIndex(app.servers, shown, SendMessageW(app.servers.list, LVM_GETTOPINDEX, 0, 0)));
    ShowServerTable(app, std::move(run.waitingTable));
    shown.masters = run.masters;
    shown.modDir = run.modDir;
    ListDeliveredReplies(app.servers, ListInputs(app), run.waitingAnswers);
    run.waitingAnswers.clear();
    RepaintServerList(app.servers);
    auto indexOf = [&](std::pair<uint32_t, uint16_t> server) {
        for (int32_t i = 0; server.first != 0 && i < shown.count; ++i) {
            if (shown.At(i).addr == server.first && shown.At(i).port == server.second) {
                return i;
            }
        }
        return -1;
    };
    ReturnToServers(app.servers, indexOf(selected), indexOf(top));
    ShowSelectedPlayers(app);
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
