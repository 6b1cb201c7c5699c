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

// Reads the body chunk by chunk as WinHTTP makes it available. A chunk that would bring the total to 65,535
// bytes or more ends the download as a success without it. False when a read fails or the body ends short.
bool ReadBody(HINTERNET request, unsigned char* body, uint32_t& total) {
    total = 0;
    DWORD available = 0;
    do {
        if (!WinHttpQueryDataAvailable(request, &available)) {
            return false;
        }
        if (static_cast<uint64_t>(total) + available > MASTER_BODY_CAP) {
            return true;
        }
        DWORD read = 0;
        if (!WinHttpReadData(request, body + total, available, &read)) {
            return false;
        }
        if (read == 0) {
            available = 0;
        }
        total += read;
    } while (available > 0);
    return !BodyEndedShort(request, total);
}

} // namespace

int FetchServerList(unsigned char* body, uint32_t& bodyLength) {
    SetStatus(L"Fetching %s server list...", SKERROW_MASTER_HOST);

    wchar_t path[REQUEST_PATH_SIZE];
    FormatRequestPath(path);

    MasterRequest handles;
    uint32_t total = 0;
    int result = SendMasterRequest(path, handles) && ReadBody(handles.request, body, total) ? 0 : 1;
    if (result != 0) {
        SetStatus(L"Failed to download server list from %s.", SKERROW_MASTER_HOST);
    }
    CloseMasterRequest(handles);
    bodyLength = total;
    return result;
}
