// The one way this program talks to the master web service: a GET of one path with fixed settings. Win32 side;
// called from worker threads, each request with its own handles.
#pragma once

#include <windows.h>
#include <winhttp.h>

struct MasterRequest {
    HINTERNET session;
    HINTERNET connection;
    HINTERNET request;
};

// Opens, connects and sends "GET path" to the master host on port 80 (user agent "Skerrow/1.0", the default
// proxy, no cache), then receives the response headers. True when the status is 200. The handles that were
// opened are in `handles` either way; CloseMasterRequest releases them.
bool SendMasterRequest(const wchar_t* path, MasterRequest& handles);

// Closes the handles that were opened, the request first and the session last.
void CloseMasterRequest(MasterRequest& handles);
