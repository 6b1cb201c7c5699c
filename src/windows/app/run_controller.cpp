#include "windows/app/run_controller.h"

#include "core/run/remembered_files.h"
#include "core/run/server_list_download.h"
#include "core/text/ansi_decoder.h"
#include "windows/state/app_messages.h"

namespace {

RunSnapshot TakeSnapshot(const Session& session, const ModFilterBox& filters) {
    RunSnapshot snapshot;
    snapshot.packetsPerSecond = session.config.packetsPerSecond;
    snapshot.modDir = RequestedModFilterDir(filters);
    snapshot.masters = MastersToAsk(session.config);
    snapshot.favourites = session.lists.favourites;
    for (const RecentServer& server : session.lists.recent) {
        snapshot.recent.push_back({server.addr, server.port});
    }
    snapshot.decodeAnsi = DecodeAnsi;
    if (session.config.searchLan) {
        snapshot.lanNetworks = session.localNetworks;
    }
    return snapshot;
}

} // namespace

bool StartUpdateRun(HWND dialog, Session& session, const ModFilterBox& filters, DWORD* error) {
    RunState& run = session.run;
    RunSnapshot snapshot = TakeSnapshot(session, filters);
    run.masters = snapshot.masters;
    run.modDir = snapshot.modDir;
    run.sources.clear();
    run.aborting = false;
    run.handle = std::make_unique<RunHandle>(std::move(snapshot), FetchServerList, RememberedListFiles(),
                                             [dialog] { PostMessageW(dialog, WM_APP_RUN_REPORT, 0, 0); });
    if (!run.handle->Started()) {
        // No thread will end this run: back to no run at once.
        *error = GetLastError();
        run.handle.reset();
        return false;
    }
    run.running = true;
    return true;
}

void AbortUpdateRun(RunState& run) {
    if (run.handle) {
        run.handle->Abort();
    }
    run.aborting = true;
}

RunReport TakeRunReport(RunState& run) {
    return run.handle ? run.handle->Take() : RunReport{};
}

void EndUpdateRun(RunState& run) {
    run.handle.reset();
    run.running = false;
    run.aborting = false;
}
