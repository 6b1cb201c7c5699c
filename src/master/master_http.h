// The one way this program talks to the master web service: a GET of one path with fixed settings. Win32 side;
// called from worker threads, each request with its own handles.
#pragma once

#include <windows.h>
#include <winhttp.h>

#include <cstdint>

struct MasterRequest {
    HINTERNET session;
    HINTERNET connection;
    HINTERNET request;
};

// Opens, connects and sends "GET path" to the master host on port 80 (user agent "Skerrow/1.0", the default
// proxy, no cache), then receives the response headers. True when the status is 200. The handles that were
// opened are in `handles` either way; CloseMasterRequest releases them.
bool SendMasterRequest(const wchar_t* path, MasterRequest& handles);

// Whether a body that ended after `received` bytes fell short of the length the response announced: a connection
// dropped partway, which WinHTTP under Wine reports as an ordinary end of the body. False without a length.
bool BodyEndedShort(HINTERNET request, uint64_t received);

// Closes the handles that were opened, the request first and the session last.
void CloseMasterRequest(MasterRequest& handles);
