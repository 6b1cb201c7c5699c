#include "master/update_run.h"

#include "app/app_state.h"

#include "app/app_messages.h"
#include "app/status_bar.h"
#include "master/master_list.h"
#include "net/query_engine.h"
#include "net/server_table.h"
#include "resource.h"

namespace {

// Room for the most the download stores, and two bytes more.
constexpr size_t UPDATE_BODY_SIZE = 65536;
static_assert(UPDATE_BODY_SIZE >= MASTER_BODY_CAP);

void EnableControl(int id, BOOL enable) {
    EnableWindow(GetDlgItem(app.hMainDlg, id), enable);
}

// The run's last step, handed to the user interface thread so that a click handled there can never fall between
// the controls being restored and updateRunning being cleared. Without a dialog to serve it, only the run's own
// state is put back.
void EndRunOnUserInterfaceThread() {
    if (app.hMainDlg && SendMessageW(app.hMainDlg, WM_APP_END_UPDATE, 0, 0)) {
        return;
    }
    ResetEvent(app.abortEvent);
    app.updateRunning = 0;
}

int RunUpdate() {
    // The master list body lives on the worker's stack (1 MB by default) for the run.
    unsigned char body[UPDATE_BODY_SIZE];
    uint32_t bodyLength = 0;
    if (FetchServerList(body, bodyLength) != 0) {
        return 1;
    }

    // The swap to the new table empties both lists and zeroes their counts, on the user interface thread.
    RebuildServerTable(body, bodyLength);

    SetStatus(L"Querying servers...");

    QueryServers();
    return 0;
}

} // namespace

void ToggleUpdate() {
    if (app.updateRunning) {
        SetEvent(app.abortEvent);
        EnableControl(IDC_UPDATE, FALSE);
        return;
    }
    SetDlgItemTextW(app.hMainDlg, IDC_UPDATE, L"Abort");
    EnableControl(IDC_CONFIG, FALSE);
    EnableControl(IDC_MOD_FILTER, FALSE);
    app.updateRunning = 1;
    app.updateThread.handle = CreateThread(nullptr, 0, UpdateThread, nullptr, 0, &app.updateThread.id);
    if (app.updateThread.handle) {
        CloseHandle(app.updateThread.handle);
        return;
    }
    // No worker will end this run: back to Idle at once.
    DWORD error = GetLastError();
    app.updateThread.id = 0;
    EndUpdateRun();
    SetStatus(L"Couldn't start the update: error %lu", error);
}

DWORD WINAPI UpdateThread(LPVOID) {
    DWORD exitCode = static_cast<DWORD>(RunUpdate());
    EndRunOnUserInterfaceThread();
    return exitCode;
}

void EndUpdateRun() {
    SetDlgItemTextW(app.hMainDlg, IDC_UPDATE, L"Update");
    EnableControl(IDC_CONFIG, TRUE);
    EnableControl(IDC_MOD_FILTER, TRUE);
    EnableControl(IDC_UPDATE, TRUE);
    ResetEvent(app.abortEvent);
    app.updateRunning = 0;
}
