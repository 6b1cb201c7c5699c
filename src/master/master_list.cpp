#include "master/master_list.h"

#include "app/app_state.h"

#include <strsafe.h>

#include "app/status_bar.h"
#include "master/master_http.h"
#include "master/master_host.h"
#include "resource.h"

namespace {

constexpr size_t REQUEST_PATH_SIZE = 1024;

// The request path for the mod filter box's selection; "(No Filter)", an empty box and an empty filter list all
// give an empty mod value.
void FormatRequestPath(wchar_t (&path)[REQUEST_PATH_SIZE]) {
    EnterCriticalSection(&app.filterLock);
    HWND box = GetDlgItem(app.hMainDlg, IDC_MOD_FILTER);
    LRESULT selection = SendMessageW(box, CB_GETCURSEL, 0, 0);
    LRESULT index = selection == CB_ERR ? 0 : SendMessageW(box, CB_GETITEMDATA, selection, 0);
    const wchar_t* dir = L"";
    if (index >= 0 && index < app.modFilterCount && app.modFilterDirs[index]) {
        dir = app.modFilterDirs[index];
    }
    StringCchPrintfW(path, REQUEST_PATH_SIZE, L"/?mod=%s&raw=2", dir);
    LeaveCriticalSection(&app.filterLock);
}

} // namespace

int FetchServerList(unsigned char* body, uint32_t& bodyLength) {
    SetStatus(L"Fetching %s server list...", SKERROW_MASTER_HOST);

    wchar_t path[REQUEST_PATH_SIZE];
    FormatRequestPath(path);

    // A chunk that would bring the body to MASTER_BODY_CAP + 1 bytes or more ends it there, as a success.
    MasterBody download{body, MASTER_BODY_CAP, true, false, 0};
    bool downloaded = DownloadFromMaster(path, download);
    bodyLength = download.length;
    if (!downloaded) {
        SetStatus(L"Failed to download server list from %s.", SKERROW_MASTER_HOST);
        return 1;
    }
    return 0;
}
