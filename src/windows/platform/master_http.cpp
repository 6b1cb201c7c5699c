#include "windows/platform/master_http.h"

#include <winhttp.h>

#include "windows/platform/win_holders.h"

namespace {

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

bool BodyEndedShort(HINTERNET request, uint64_t received) {
    DWORD announced = 0;
    DWORD size = sizeof announced;
    return WinHttpQueryHeaders(request, WINHTTP_QUERY_CONTENT_LENGTH | WINHTTP_QUERY_FLAG_NUMBER,
                               WINHTTP_HEADER_NAME_BY_INDEX, &announced, &size, WINHTTP_NO_HEADER_INDEX) &&
           received < announced;
}

// Keeps a received chunk as the body's rules say.
void KeepChunk(MasterBody& body, const unsigned char* chunk, DWORD read) {
    for (DWORD i = 0; i < read && body.length < body.capacity; ++i) {
        if (body.textChunks && chunk[i] == 0) {
            return;
        }
        body.data[body.length++] = chunk[i];
    }
}

bool ReadBody(HINTERNET request, MasterBody& body) {
    body.length = 0;
    uint64_t received = 0;
    DWORD available = 0;
    do {
        if (!WinHttpQueryDataAvailable(request, &available)) {
            return false;
        }
        if (body.stopAtCapacity && static_cast<uint64_t>(body.length) + available > body.capacity) {
            return true;
        }
        HeapBlock<unsigned char> chunk(available + 1);
        if (!chunk) {
            return false;
        }
        DWORD read = 0;
        if (!WinHttpReadData(request, chunk.get(), available, &read)) {
            return false;
        }
        if (read == 0) {
            available = 0;
        }
        received += read;
        KeepChunk(body, chunk.get(), read);
    } while (available > 0);
    return !BodyEndedShort(request, received);
}

} // namespace

bool DownloadFromMaster(const MasterEntry& master, const wchar_t* path, MasterBody& body) {
    std::wstring host(master.host.begin(), master.host.end());
    body.length = 0;
    WinHttpHandle session(WinHttpOpen(L"Skerrow/1.0", WINHTTP_ACCESS_TYPE_DEFAULT_PROXY, WINHTTP_NO_PROXY_NAME,
                                      WINHTTP_NO_PROXY_BYPASS, 0));
    WinHttpHandle connection(session ? WinHttpConnect(session.get(), host.c_str(), master.port, 0) : nullptr);
    WinHttpHandle request(connection ? WinHttpOpenRequest(connection.get(), L"GET", path, nullptr, WINHTTP_NO_REFERER,
                                                          WINHTTP_DEFAULT_ACCEPT_TYPES, WINHTTP_FLAG_REFRESH)
                                     : nullptr);
    // The handles close in reverse order of opening: the request first, the session last.
    return request &&
           WinHttpSendRequest(request.get(), WINHTTP_NO_ADDITIONAL_HEADERS, 0, WINHTTP_NO_REQUEST_DATA, 0, 0, 0) &&
           WinHttpReceiveResponse(request.get(), nullptr) && StatusIsOk(request.get()) && ReadBody(request.get(), body);
}
