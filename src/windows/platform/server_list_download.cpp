#include "windows/platform/server_list_download.h"

#include "windows/platform/master_http.h"
#include "windows/platform/wide.h"

std::wstring ServerListPath(const std::u16string& modDir) {
    return L"/?mod=" + std::wstring(AsWide(modDir.c_str())) + L"&raw=2";
}

bool FetchServerList(const RunSnapshot& snapshot, const MasterEntry& master, std::vector<unsigned char>& body) {
    body.assign(MASTER_BODY_CAP, 0);
    // A chunk that would bring the body to MASTER_BODY_CAP + 1 bytes or more ends it there, as a success.
    MasterBody download{body.data(), MASTER_BODY_CAP, true, false, 0};
    bool downloaded = DownloadFromMaster(master, ServerListPath(snapshot.modDir).c_str(), download);
    body.resize(download.length);
    return downloaded;
}
