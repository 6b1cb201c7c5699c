#include "windows/platform/server_list_download.h"

#include "windows/platform/master_http.h"
#include "windows/platform/wide.h"

std::wstring ServerListPath(const std::u16string& modDir) {
    return L"/?mod=" + std::wstring(AsWide(modDir.c_str())) + L"&raw=2";
}

bool FetchServerList(const std::u16string& modDir, const MasterEntry& master, std::vector<unsigned char>& body,
                     DownloadCancel& cancel) {
    body.assign(MASTER_BODY_CAP, 0);
    // A chunk that would bring the body to MASTER_BODY_CAP + 1 bytes or more ends it there, as a success.
    MasterBody download{body.data(), MASTER_BODY_CAP, false, false, 0};
    bool downloaded = DownloadFromMaster(master, ServerListPath(modDir).c_str(), download, &cancel);
    body.resize(download.length);
    return downloaded;
}
