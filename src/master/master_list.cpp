#include "master/master_list.h"

#include "app/app_state.h"

#include <strsafe.h>
#include <winhttp.h>

#include "app/status_bar.h"
#include "master/master_host.h"
#include "resource.h"

namespace {

constexpr INTERNET_PORT MASTER_PORT = 80;
constexpr size_t REQUEST_PATH_SIZE = 1024;
constexpr size_t STATUS_CODE_SIZE = 8;

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
// bytes or more ends the download as a success without it. False when a read fails.
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
    return true;
}

bool StatusIsOk(HINTERNET request) {
    wchar_t code[STATUS_CODE_SIZE] = {};
    DWORD size = sizeof code;
    if (!WinHttpQueryHeaders(request, WINHTTP_QUERY_STATUS_CODE, WINHTTP_HEADER_NAME_BY_INDEX, code, &size,
                             WINHTTP_NO_HEADER_INDEX)) {
        return false;
    }
    code[STATUS_CODE_SIZE - 1] = 0;
    return _wtoi(code) == 200;
}

} // namespace

int FetchServerList(unsigned char* body, uint32_t& bodyLength) {
    SetStatus(L"Fetching %s server list...", SKERROW_MASTER_HOST);

    wchar_t path[REQUEST_PATH_SIZE];
    FormatRequestPath(path);

    HINTERNET session = WinHttpOpen(L"Skerrow/1.0", WINHTTP_ACCESS_TYPE_DEFAULT_PROXY, WINHTTP_NO_PROXY_NAME,
                                    WINHTTP_NO_PROXY_BYPASS, 0);
    HINTERNET connection = session ? WinHttpConnect(session, SKERROW_MASTER_HOST, MASTER_PORT, 0) : nullptr;
    HINTERNET request = connection ? WinHttpOpenRequest(connection, L"GET", path, nullptr, WINHTTP_NO_REFERER,
                                                        WINHTTP_DEFAULT_ACCEPT_TYPES, WINHTTP_FLAG_REFRESH)
                                   : nullptr;
    bool exchanged = request &&
                     WinHttpSendRequest(request, WINHTTP_NO_ADDITIONAL_HEADERS, 0, WINHTTP_NO_REQUEST_DATA, 0, 0, 0) &&
                     WinHttpReceiveResponse(request, nullptr);

    uint32_t total = 0;
    int result = exchanged && StatusIsOk(request) && ReadBody(request, body, total) ? 0 : 1;
    if (result != 0) {
        SetStatus(L"Failed to download server list from %s.", SKERROW_MASTER_HOST);
    }

    if (request) {
        WinHttpCloseHandle(request);
    }
    if (connection) {
        WinHttpCloseHandle(connection);
    }
    if (session) {
        WinHttpCloseHandle(session);
    }
    bodyLength = total;
    return result;
}
