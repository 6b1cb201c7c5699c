#include "master/master_http.h"

#include "master/master_host.h"

namespace {

constexpr INTERNET_PORT MASTER_PORT = 80;
constexpr size_t STATUS_CODE_SIZE = 8;

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

bool SendMasterRequest(const wchar_t* path, MasterRequest& handles) {
    handles = MasterRequest{};
    handles.session = WinHttpOpen(L"Skerrow/1.0", WINHTTP_ACCESS_TYPE_DEFAULT_PROXY, WINHTTP_NO_PROXY_NAME,
                                  WINHTTP_NO_PROXY_BYPASS, 0);
    if (!handles.session) {
        return false;
    }
    handles.connection = WinHttpConnect(handles.session, SKERROW_MASTER_HOST, MASTER_PORT, 0);
    if (!handles.connection) {
        return false;
    }
    handles.request = WinHttpOpenRequest(handles.connection, L"GET", path, nullptr, WINHTTP_NO_REFERER,
                                         WINHTTP_DEFAULT_ACCEPT_TYPES, WINHTTP_FLAG_REFRESH);
    return handles.request &&
           WinHttpSendRequest(handles.request, WINHTTP_NO_ADDITIONAL_HEADERS, 0, WINHTTP_NO_REQUEST_DATA, 0, 0, 0) &&
           WinHttpReceiveResponse(handles.request, nullptr) && StatusIsOk(handles.request);
}

bool BodyEndedShort(HINTERNET request, uint64_t received) {
    DWORD announced = 0;
    DWORD size = sizeof announced;
    return WinHttpQueryHeaders(request, WINHTTP_QUERY_CONTENT_LENGTH | WINHTTP_QUERY_FLAG_NUMBER,
                               WINHTTP_HEADER_NAME_BY_INDEX, &announced, &size, WINHTTP_NO_HEADER_INDEX) &&
           received < announced;
}

void CloseMasterRequest(MasterRequest& handles) {
    if (handles.request) {
        WinHttpCloseHandle(handles.request);
    }
    if (handles.connection) {
        WinHttpCloseHandle(handles.connection);
    }
    if (handles.session) {
        WinHttpCloseHandle(handles.session);
    }
    handles = MasterRequest{};
}
