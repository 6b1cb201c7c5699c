#include "windows/app/run_controller.h"

#include "core/run/run_status.h"
#include "core/text/format.h"

#include "windows/state/app_state.h"

#include "resource.h"
#include "windows/platform/ansi_decoder.h"
#include "windows/platform/remembered_file.h"
#include "windows/platform/server_list_download.h"
#include "windows/platform/wide.h"
#include "windows/state/app_messages.h"
#include "windows/views/mod_filter_box.h"
#include "windows/views/server_list.h"
#include "windows/views/status_bar.h"

namespace {

void EnableControl(AppState& app, int id, BOOL enable) {
    EnableWindow(GetDlgItem(app.hMainDlg, id), enable);
}

RunSnapshot TakeSnapshot(AppState& app) {
    RunSnapshot snapshot;
    snapshot.packetsPerSecond = app.config.packetsPerSecond;
    wchar_t dir[MOD_FILTER_DIR_TEXT_SIZE];
    RequestedModFilterDir(app, dir, MOD_FILTER_DIR_TEXT_SIZE);
    snapshot.modDir = AsU16(dir);
    snapshot.masters = MastersToAsk(app.config);
    snapshot.favourites = app.favourites;
    for (const RecentServer& server : app.recentServers) {
        snapshot.recent.push_back({server.addr, server.port});
    }
    snapshot.decodeAnsi = DecodeAnsi;
    if (app.config.searchLan) {
        snapshot.lanNetworks = app.localNetworks;
    }
    return snapshot;
}

} // namespace

void ToggleUpdate(AppState& app) {
    if (app.updateRunning) {
        if (app.run) {
            app.run->Abort();
        }
        EnableControl(app, IDC_UPDATE, FALSE);
        return;
    }
    SetDlgItemTextW(app.hMainDlg, IDC_UPDATE, L"Abort");
    EnableControl(app, IDC_CONFIG, FALSE);
    EnableControl(app, IDC_MOD_FILTER, FALSE);
    app.updateRunning = 1;
    HWND window = app.hMainDlg;
    RunSnapshot snapshot = TakeSnapshot(app);
    app.runMasters = snapshot.masters;
    app.runModDir = snapshot.modDir;
    app.run = std::make_unique<RunHandle>(std::move(snapshot), FetchServerList, RememberedListFiles(),
                                          [window] { PostMessageW(window, WM_APP_RUN_REPORT, 0, 0); });
    if (!app.run->Started()) {
        // No thread will end this run: back to Idle at once.
        DWORD error = GetLastError();
        app.run.reset();
        EndUpdateRun(app);
        SetStatus(app, fmt::format(L"Couldn't start the update: error {}", error).c_str());
    }
}

ReportTaken TakeRunReport(AppState& app) {
    if (!app.run) {
        return ReportTaken::Nothing;
    }
    RunReport report = app.run->Take();
    // A take that found something leaves the run's wake-ups off: the next take is this thread's to make.
    bool cameWithSomething = !report.Empty();
    if (report.table) {
        ShowServerTable(app, std::move(report.table));
        app.tableMasters = app.runMasters;
        app.tableModDir = app.runModDir;
    }
    if (app.table) {
        // The table grows as masters answer; every record a reply below names is in it by now.
        app.serverCount = static_cast<int32_t>(app.table->size());
    }
    std::vector<int32_t> replies;
    for (const RunEvent& event : report.events) {
        if (const auto* answered = std::get_if<run_event::Answered>(&event)) {
            replies.push_back(answered->index);
        }
    }
    ListDeliveredReplies(app, replies);
    RepaintServerListWhenDue(app);
    for (const StatusText& text : RunStatus(app.runMasters).Texts(report, app.table.get())) {
        ShowRunStatus(app, text);
    }
    if (report.end) {
        // Whatever the run left waiting is shown before the controls say it is over, with the marks of rows
        // listed before a later source named their server too (a LAN answer for a server a master listed).
        UpdateStatusCounts(app);
        app.listDirty = 1;
        RepaintServerList(app);
        FlushStatus(app);
        app.run.reset();
        EndUpdateRun(app);
        return ReportTaken::Ended;
    }
    UpdateStatusCountsSoon(app);
    return cameWithSomething ? ReportTaken::More : ReportTaken::Nothing;
}

void ShowServerTable(AppState& app, std::shared_ptr<ServerTable> table) {
    EmptyServerLists(app);
    app.table = std::move(table);
    app.searchTexts.clear(); // they were the last table's
    app.serverCount = app.table ? static_cast<int32_t>(app.table->size()) : 0;
    UpdateStatusCounts(app); // "0 Players", "0 Servers"
}

void EndUpdateRun(AppState& app) {
    SetDlgItemTextW(app.hMainDlg, IDC_UPDATE, L"Update");
    EnableControl(app, IDC_CONFIG, TRUE);
    EnableControl(app, IDC_MOD_FILTER, TRUE);
    EnableControl(app, IDC_UPDATE, TRUE);
    app.updateRunning = 0;
}
