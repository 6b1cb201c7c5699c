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
        bool overflows = static_cast<uint64_t>(body.length) + available > body.capacity;
        if (overflows && !body.cutChunkAtCapacity) {
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
        if (overflows) {
            return true;
        }
    } while (available > 0);
    return !BodyEndedShort(request, received);
}

bool SetTimeouts(HINTERNET session, const MasterTimeouts& timeouts) {
    DWORD response = timeouts.response;
    return WinHttpSetTimeouts(session, timeouts.resolve, timeouts.connect, timeouts.send, timeouts.receive) &&
           WinHttpSetOption(session, WINHTTP_OPTION_RECEIVE_RESPONSE_TIMEOUT, &response, sizeof response);
}

bool Transfer(HINTERNET request, MasterBody& body) {
    return WinHttpSendRequest(request, WINHTTP_NO_ADDITIONAL_HEADERS, 0, WINHTTP_NO_REQUEST_DATA, 0, 0, 0) &&
           WinHttpReceiveResponse(request, nullptr) && StatusIsOk(request) && ReadBody(request, body);
}

} // namespace

bool DownloadFromMaster(const MasterEntry& master, const wchar_t* path, MasterBody& body, DownloadCancel* cancel) {
    std::wstring host(master.host.begin(), master.host.end());
    body.length = 0;
    WinHttpHandle session(WinHttpOpen(L"Skerrow/1.0", WINHTTP_ACCESS_TYPE_DEFAULT_PROXY, WINHTTP_NO_PROXY_NAME,
                                      WINHTTP_NO_PROXY_BYPASS, 0));
    if (!session || !SetTimeouts(session.get(), MASTER_TIMEOUTS)) {
        return false;
    }
    WinHttpHandle connection(WinHttpConnect(session.get(), host.c_str(), master.port, 0));
    HINTERNET request = connection ? WinHttpOpenRequest(connection.get(), L"GET", path, nullptr, WINHTTP_NO_REFERER,
                                                        WINHTTP_DEFAULT_ACCEPT_TYPES, WINHTTP_FLAG_REFRESH)
                                   : nullptr;
    if (!request) {
        return false;
    }
    // A cancel closes the request from the cancelling thread, which makes WinHTTP fail the call under way on it;
    // this thread closes it only when no cancel did.
    bool closedByCancel = false; // written under the cancel's lock, read once Disarm has taken it
    bool armed = !cancel || cancel->Arm([request, &closedByCancel] {
        WinHttpCloseHandle(request);
        closedByCancel = true;
    });
    bool downloaded = armed && Transfer(request, body);
    if (cancel) {
        cancel->Disarm();
    }
    if (!closedByCancel) {
        WinHttpCloseHandle(request);
    }
    // The connection and the session close after the request, in reverse order of opening.
    return downloaded && !closedByCancel;
}
