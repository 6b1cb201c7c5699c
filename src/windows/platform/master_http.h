// The one way this program talks to the master web service: a GET of one path with fixed settings, its body read
// under one set of rules. Win32 side; called from worker threads, each download with its own handles.
#pragma once

#include <windows.h>

#include <cstdint>

#include "core/protocol/master_entry.h"

// Where a download's body goes, and what it keeps of it.
struct MasterBody {
    unsigned char* data;
    uint32_t capacity; // the most bytes kept
    // At the capacity: true ends the body before the chunk that would not fit, as a success (the server list);
    // false drops what does not fit and reads on to the end (the filter list).
    bool stopAtCapacity;
    bool textChunks; // each chunk is kept up to its first zero byte (the filter list is text)
    uint32_t length; // bytes kept
};

// GETs `path` from a web master's host and port (user agent "Skerrow/1.0", the default proxy, no cache) and reads
// the whole body into `body`, chunk by chunk as WinHTTP makes it available. True only when the status is 200,
// every step succeeded and the body did not end short of the length the response announced (a connection dropped
// partway, which WinHTTP under Wine reports as an ordinary end of the body).
bool DownloadFromMaster(const MasterEntry& master, const wchar_t* path, MasterBody& body);
