#include "core/run/web_download.h"

#include <windows.h>
#include <winhttp.h>

#include <string>

#include "platform/win32/wide.h"
#include "platform/win32/win_holders.h"

namespace {

// Time-outs of a download, in milliseconds (0: none).
struct MasterTimeouts {
    int resolve;
    int connect;
    int send;
    int receive;
    DWORD response; // for the whole response head
};

// The HTTP client's documented defaults, set explicitly so that every WinHTTP (Wine's among them) gives up on a
// master that accepts the connection and never answers: a host name is looked up as long as it takes, a connection
// may take 60 s, each send and each receive 30 s, and the response's head 90 s.
constexpr MasterTimeouts MASTER_TIMEOUTS = {0, 60000, 30000, 30000, 90000};

constexpr size_t STATUS_CODE_SIZE = 8;
constexpr size_t CONTENT_TYPE_SIZE = 128;

DWORD StatusCode(HINTERNET request) {
    wchar_t code[STATUS_CODE_SIZE] = {};
    DWORD size = sizeof code;
    if (!WinHttpQueryHeaders(request, WINHTTP_QUERY_STATUS_CODE, WINHTTP_HEADER_NAME_BY_INDEX, code, &size,
                             WINHTTP_NO_HEADER_INDEX)) {
        return 0;
    }
    code[STATUS_CODE_SIZE - 1] = 0;
    return static_cast<DWORD>(_wtoi(code));
}

bool IsRedirect(DWORD status) {
    return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

// The answer's Location header; empty when it has none.
std::wstring Location(HINTERNET request) {
    DWORD size = 0;
    WinHttpQueryHeaders(request, WINHTTP_QUERY_LOCATION, WINHTTP_HEADER_NAME_BY_INDEX, WINHTTP_NO_OUTPUT_BUFFER, &size,
                        WINHTTP_NO_HEADER_INDEX);
    if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || size == 0) {
        return std::wstring();
    }
    std::wstring location(size / sizeof(wchar_t) + 1, L'\0');
    if (!WinHttpQueryHeaders(request, WINHTTP_QUERY_LOCATION, WINHTTP_HEADER_NAME_BY_INDEX, &location[0], &size,
                             WINHTTP_NO_HEADER_INDEX)) {
        return std::wstring();
    }
    location.resize(size / sizeof(wchar_t));
    return location;
}

// The answer's Content-Type, cut at CONTENT_TYPE_SIZE - 1 characters; empty when it has none.
std::u16string ContentType(HINTERNET request) {
    wchar_t type[CONTENT_TYPE_SIZE] = {};
    DWORD size = sizeof type - sizeof type[0];
    if (!WinHttpQueryHeaders(request, WINHTTP_QUERY_CONTENT_TYPE, WINHTTP_HEADER_NAME_BY_INDEX, type, &size,
                             WINHTTP_NO_HEADER_INDEX)) {
        return std::u16string();
    }
    type[CONTENT_TYPE_SIZE - 1] = 0;
    return AsU16(type);
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

// What one request gave: the body, or where it redirects to.
struct Answer {
    ListDownload end = ListDownload::Failed;
    bool redirected = false;
    std::wstring location;
};

Answer Exchange(HINTERNET request, bool followsRedirects, MasterBody& body) {
    Answer answer;
    if (!WinHttpSendRequest(request, WINHTTP_NO_ADDITIONAL_HEADERS, 0, WINHTTP_NO_REQUEST_DATA, 0, 0, 0)) {
        DWORD error = GetLastError();
        answer.end = error == ERROR_WINHTTP_NAME_NOT_RESOLVED ? ListDownload::Unresolved
                     : error == ERROR_WINHTTP_CANNOT_CONNECT  ? ListDownload::Refused
                                                              : ListDownload::Failed;
        return answer;
    }
    if (!WinHttpReceiveResponse(request, nullptr)) {
        return answer;
    }
    DWORD status = StatusCode(request);
    if (!followsRedirects && IsRedirect(status)) {
        answer.redirected = true;
        answer.location = Location(request);
        return answer;
    }
    body.contentType = ContentType(request);
    if (status == 200 && ReadBody(request, body)) {
        answer.end = ListDownload::Listed;
    }
    return answer;
}

// One request to `target`, its transfer cancellable while it runs. Redirects are followed here when the rules count
// them, so WinHTTP is told to follow none.
Answer Request(HINTERNET session, const MasterEntry& target, const wchar_t* path, const DownloadRules& rules,
               MasterBody& body, DownloadCancel* cancel) {
    std::wstring host(target.host.begin(), target.host.end());
    WinHttpHandle connection(WinHttpConnect(session, host.c_str(), target.port, 0));
    HINTERNET request = connection ? WinHttpOpenRequest(connection.get(), L"GET", path, nullptr, WINHTTP_NO_REFERER,
                                                        WINHTTP_DEFAULT_ACCEPT_TYPES, WINHTTP_FLAG_REFRESH)
                                   : nullptr;
    if (!request) {
        return Answer{};
    }
    bool byHand = rules.maxRedirects >= 0;
    if (byHand) {
        DWORD never = WINHTTP_OPTION_REDIRECT_POLICY_NEVER;
        DWORD disable = WINHTTP_DISABLE_REDIRECTS;
        WinHttpSetOption(request, WINHTTP_OPTION_REDIRECT_POLICY, &never, sizeof never);
        WinHttpSetOption(request, WINHTTP_OPTION_DISABLE_FEATURE, &disable, sizeof disable);
    }
    // A cancel closes the request from the cancelling thread, which makes WinHTTP fail the call under way on it;
    // this thread closes it only when no cancel did.
    bool closedByCancel = false; // written under the cancel's lock, read once Disarm has taken it
    bool armed = !cancel || cancel->Arm([request, &closedByCancel] {
        WinHttpCloseHandle(request);
        closedByCancel = true;
    });
    Answer answer = armed ? Exchange(request, !byHand, body) : Answer{};
    if (cancel) {
        cancel->Disarm();
    }
    if (!closedByCancel) {
        WinHttpCloseHandle(request);
    } else {
        answer = Answer{};
    }
    // The connection closes after the request.
    return answer;
}

// Ends the download's transfer when its time is up; on the timer queue's thread.
void CALLBACK OnDeadline(PVOID cancel, BOOLEAN) {
    static_cast<DownloadCancel*>(cancel)->Expire();
}

} // namespace

ListDownload DownloadFromMaster(const MasterEntry& master, const char16_t* path, MasterBody& body,
                                const DownloadRules& rules, DownloadCancel* cancel) {
    body.length = 0;
    body.contentType.clear();
    WinHttpHandle session(WinHttpOpen(L"Skerrow/1.0", WINHTTP_ACCESS_TYPE_DEFAULT_PROXY, WINHTTP_NO_PROXY_NAME,
                                      WINHTTP_NO_PROXY_BYPASS, 0));
    if (!session || !SetTimeouts(session.get(), MASTER_TIMEOUTS)) {
        return ListDownload::Failed;
    }
    HANDLE deadline = nullptr;
    if (rules.deadlineMs > 0 && cancel &&
        !CreateTimerQueueTimer(&deadline, nullptr, OnDeadline, cancel, rules.deadlineMs, 0, WT_EXECUTEONLYONCE)) {
        return ListDownload::Failed;
    }
    MasterEntry target = master;
    std::wstring targetPath = AsWide(path);
    ListDownload end = ListDownload::Failed;
    for (int redirects = 0;; ++redirects) {
        Answer answer = Request(session.get(), target, targetPath.c_str(), rules, body, cancel);
        if (!answer.redirected) {
            end = answer.end;
            break;
        }
        if (redirects == rules.maxRedirects) {
            end = ListDownload::TooManyRedirects;
            break;
        }
        if (!FollowRedirect(target, AsU16(answer.location.c_str()), &target)) {
            end = ListDownload::BadRedirect;
            break;
        }
        targetPath = AsWide(target.path.c_str());
    }
    if (deadline) {
        // Waits for the timer's call, should it be under way.
        DeleteTimerQueueTimer(nullptr, deadline, INVALID_HANDLE_VALUE);
    }
    if (end != ListDownload::Listed && cancel && cancel->Expired()) {
        return ListDownload::TooSlow;
    }
    return end;
}
