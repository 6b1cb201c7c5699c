// The master list download: one HTTP GET of the selected mod filter's server list from a master web service, or of a
// list URL's list, over the system's HTTP client (web_download.h). Runs on an update run's worker and touches nothing but
// its own arguments. Portable (no Win32).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/run/run_snapshot.h"

// The most body bytes ever stored: 10,922 whole 6-byte entries and two bytes more.
constexpr uint32_t MASTER_BODY_CAP = 0xFFFE;

// The request path for a mod filter's game directory ("/?mod=DIR&raw=2"; an empty directory gives an empty value).
std::u16string ServerListPath(const std::u16string& modDir);

// Downloads a web master's list for the mod filter `modDir`, or a list URL's, into `body`, cut at MASTER_BODY_CAP
// bytes: the run's ListFetcher. A web page is no list.
ListDownload FetchServerList(const std::u16string& modDir, const MasterEntry& master, std::vector<unsigned char>& body,
                             DownloadCancel& cancel);
