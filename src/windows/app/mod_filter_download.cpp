#include "windows/app/mod_filter_download.h"

#include "windows/platform/master_http.h"
#include "windows/state/app_messages.h"

#include <memory>
#include <new>

namespace {

constexpr size_t FILTER_BODY_SIZE = 8192; // 8,191 bytes of text and a terminator

// The body as UTF-16 on the process heap (null on failure); never longer than the body, terminator included.
wchar_t* DecodeFilterBody(const char* body) {
    int length = lstrlenA(body);
    auto* text = static_cast<wchar_t*>(HeapAlloc(GetProcessHeap(), 0, (length + 1) * sizeof(wchar_t)));
    if (text && MultiByteToWideChar(CP_UTF8, 0, body, -1, text, length + 1) == 0) {
        HeapFree(GetProcessHeap(), 0, text);
        text = nullptr;
    }
    return text;
}

// What the thread gets, and frees.
struct FilterDownload {
    HWND mainDialog;
    MasterEntry master;
};

DWORD WINAPI FetchFiltersThread(LPVOID parameter) {
    std::unique_ptr<FilterDownload> download(static_cast<FilterDownload*>(parameter));
    static_assert(FILTER_BODY_SIZE <= 16384, "the body lives on this thread's stack");
    unsigned char body[FILTER_BODY_SIZE];
    // The whole response is read, but only its first 8,191 bytes are kept; a cut list would replace the whole stored
    // one, so a body that ends short of its announced length counts as failed.
    MasterBody filters{body, FILTER_BODY_SIZE - 1, false, true, 0};
    if (!DownloadFromMaster(download->master, L"/filters", filters)) {
        return 0;
    }
    body[filters.length] = 0;
    wchar_t* text = DecodeFilterBody(reinterpret_cast<const char*>(body));
    if (text) {
        if (!PostMessageW(download->mainDialog, WM_APP_SET_MOD_FILTER_TEXT, 0, reinterpret_cast<LPARAM>(text))) {
            HeapFree(GetProcessHeap(), 0, text);
        }
    }
    return 0;
}

} // namespace

HANDLE StartFilterDownload(HWND mainDialog, const std::vector<MasterEntry>& masters) {
    for (const MasterEntry& master : masters) {
        if (master.kind != MasterKind::Web) {
            continue;
        }
        auto* download = new (std::nothrow) FilterDownload{mainDialog, master};
        HANDLE thread = download ? CreateThread(nullptr, 0, FetchFiltersThread, download, 0, nullptr) : nullptr;
        if (!thread) {
            delete download;
        }
        return thread;
    }
    return nullptr;
}
