#include "windows/app/mod_filter_download.h"

#include <windows.h>

#include <memory>
#include <string>

#include "core/protocol/web_page.h"
#include "core/run/run_snapshot.h"
#include "core/run/web_download.h"
#include "core/worker/waking_channel.h"
#include "core/worker/worker.h"
#include "windows/state/app_messages.h"

namespace {

constexpr size_t FILTER_BODY_SIZE = 8192; // 8,191 bytes of text and a terminator

// The body as UTF-16; false when it is no UTF-8.
bool DecodeFilterBody(const char* body, std::u16string& text) {
    int length = lstrlenA(body);
    std::wstring wide(static_cast<size_t>(length) + 1, L'\0');
    if (MultiByteToWideChar(CP_UTF8, 0, body, -1, &wide[0], length + 1) == 0) {
        return false;
    }
    text.assign(wide.c_str(), wide.c_str() + wcslen(wide.c_str()));
    return true;
}

struct FilterText {
    bool arrived = false;
    std::u16string text;
};

} // namespace

// What the window and the download's worker share.
struct FilterDownload {
    FilterDownload(MasterEntry masterIn, std::function<void()> wake)
        : master(std::move(masterIn)), channel(std::move(wake)) {}

    const MasterEntry master;
    DownloadCancel cancel;
    WakingChannel<FilterText> channel;
};

namespace {

void Download(const std::shared_ptr<FilterDownload>& download) {
    static_assert(FILTER_BODY_SIZE <= 16384, "the body lives on this thread's stack");
    unsigned char body[FILTER_BODY_SIZE];
    // Only the first 8,191 bytes are kept, and nothing is read beyond them; a cut list would replace the whole stored
    // one, so a body that ends short of its announced length counts as failed.
    MasterBody filters{body, FILTER_BODY_SIZE - 1, true, true, 0};
    if (DownloadFromMaster(download->master, u"/filters", filters, MASTER_SERVICE_RULES, &download->cancel) !=
        ListDownload::Listed) {
        return;
    }
    // A web site's page is no filter list: the box keeps what it has, and nothing is stored.
    if (IsWebPage(filters.contentType, body, filters.length)) {
        return;
    }
    body[filters.length] = 0;
    std::u16string text;
    if (DecodeFilterBody(reinterpret_cast<const char*>(body), text)) {
        download->channel.Push(
            [&](FilterText& queued) {
                queued.arrived = true;
                queued.text = std::move(text);
            },
            true);
    }
}

} // namespace

void StartFilterDownload(HWND dialog, const std::vector<MasterEntry>& masters,
                         std::shared_ptr<FilterDownload>& download, ModFilterBox& filters) {
    for (const MasterEntry& master : masters) {
        if (master.kind != MasterKind::Web) {
            continue;
        }
        auto started =
            std::make_shared<FilterDownload>(master, [dialog] { PostMessageW(dialog, WM_APP_FILTER_REPORT, 0, 0); });
        if (StartWorker([started] { Download(started); })) {
            download = std::move(started);
        }
        return;
    }
    // List URLs and classic masters only: no list will come. A box that no stored text filled shows the built-in
    // mods, with "(No Filter)" chosen, rather than staying empty.
    if (ModFilterBoxEmpty(filters)) {
        SetModFilterText(filters, std::u16string());
    }
}

void TakeFilterDownload(std::shared_ptr<FilterDownload>& download, ModFilterBox& filters) {
    if (!download) {
        return;
    }
    FilterText taken = download->channel.Take([](FilterText& queued, bool& found) {
        FilterText text = std::move(queued);
        queued = FilterText{};
        found = text.arrived;
        return text;
    });
    if (!taken.arrived) {
        return;
    }
    download.reset();
    SetModFilterText(filters, std::move(taken.text));
}

void EndFilterDownload(std::shared_ptr<FilterDownload>& download) {
    if (download) {
        download->cancel.Cancel();
        download->channel.Detach();
        download.reset();
    }
}
