// The one way this program talks to a web master or a list URL's site: a GET of one path with fixed settings, its body
// read under one set of rules. The system's HTTP client does it (platform/win32: WinHTTP); called from workers, each
// download with its own handles. Portable (no Win32).
#pragma once

#include <cstdint>
#include <string>

#include "core/protocol/master_entry.h"
#include "core/run/run_snapshot.h"

// How a download takes redirects and time.
struct DownloadRules {
    int maxRedirects;    // -1: the HTTP client's own policy; else at most this many, followed to http:// URLs only
    uint32_t deadlineMs; // 0: none; else the whole download ends once this long has passed
};

// A master web service's requests, as they always were; a list URL's, which may be any web site.
constexpr DownloadRules MASTER_SERVICE_RULES = {-1, 0};
constexpr DownloadRules LIST_URL_RULES = {LIST_URL_MAX_REDIRECTS, LIST_URL_DEADLINE_MS};

// Where a download's body goes, and what it keeps of it.
struct MasterBody {
    unsigned char* data;
    uint32_t capacity; // the most bytes kept
    // The body ends, as a success, once what it keeps would pass the capacity: false ends it before the chunk that
    // would not fit (the server list keeps whole entries); true keeps that chunk's first bytes up to the capacity
    // (the filter list is text, cut where it is full), so a master that never stops sending is read no further.
    bool cutChunkAtCapacity;
    bool textChunks;                 // each chunk is kept up to its first zero byte (the filter list is text)
    uint32_t length;                 // bytes kept
    std::u16string contentType = {}; // the answer's Content-Type; empty when it had none
};

// GETs `path` from a web master's host and port (user agent "Skerrow/1.0", the default proxy, no cache) and reads
// the body into `body`, chunk by chunk as the HTTP client makes it available, under its time-outs and the rules.
// Listed (the body came whole) only when the status is 200, every step succeeded and the body did not end short of
// the length the response announced (a connection dropped partway, which WinHTTP under Wine reports as an ordinary
// end of the body); else why not (never WebPage: what the body is, the caller judges). `cancel`, when given, ends the
// transfer at once from another thread, as a failure; a deadline needs it.
ListDownload DownloadFromMaster(const MasterEntry& master, const char16_t* path, MasterBody& body,
                                const DownloadRules& rules, DownloadCancel* cancel = nullptr);
