#include "core/run/server_list_download.h"

#include "core/protocol/web_page.h"
#include "core/run/web_download.h"

std::u16string ServerListPath(const std::u16string& modDir) {
    return u"/?mod=" + modDir + u"&raw=2";
}

ListDownload FetchServerList(const std::u16string& modDir, const MasterEntry& master, std::vector<unsigned char>& body,
                             DownloadCancel& cancel) {
    body.assign(MASTER_BODY_CAP, 0);
    // A chunk that would bring the body to MASTER_BODY_CAP + 1 bytes or more ends it there, as a success.
    MasterBody download{body.data(), MASTER_BODY_CAP, false, false, 0};
    // A list URL is fetched exactly as written, under the rules for any web site; a master web service is asked for
    // the mod filter's list.
    bool listUrl = master.kind == MasterKind::WebList;
    ListDownload end =
        listUrl ? DownloadFromMaster(master, master.path.c_str(), download, LIST_URL_RULES, &cancel)
                : DownloadFromMaster(master, ServerListPath(modDir).c_str(), download, MASTER_SERVICE_RULES, &cancel);
    body.resize(download.length);
    if (end == ListDownload::Listed && IsWebPage(download.contentType, body.data(), body.size())) {
        body.clear();
        return ListDownload::WebPage;
    }
    return end;
}
