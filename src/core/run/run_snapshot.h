// What an update run starts from, and what it asks of the program around it. Portable (no Win32).
#pragma once

#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "core/protocol/master_entry.h"
#include "core/run/local_networks.h"
#include "core/run/udp_master.h"
#include "core/settings/favourites.h"
#include "core/text/ansi_decoder.h"

// What a run needs, taken when it starts and never changed after.
struct RunSnapshot {
    int32_t packetsPerSecond = 10;
    std::u16string modDir;                   // the selected mod filter's game directory; empty for none
    std::vector<MasterEntry> masters;        // asked all at once; a master's index is its source bit
    std::vector<FavouriteServer> favourites; // queried in every run, whatever the masters answer
    std::vector<FavouriteServer> recent;     // the servers played on lately: queried in every run too
    AnsiDecoder decodeAnsi = nullptr;
    LocalNetworkLister lanNetworks;             // the networks the LAN is searched on; none: the LAN is not searched
    HostResolver resolveHost = ResolveHostIPv4; // looks up the classic masters' host names
};

// Ends a web master's download at once when the run is aborted or its window closes, or when the download's own
// time is up: the download hands it what ends its transfer for as long as the transfer runs.
class DownloadCancel {
public:
    // The transfer has begun; `cancel` ends it from any thread. False when the run is cancelled or the time is up
    // already: the download gives up at once.
    bool Arm(std::function<void()> cancel);
    // The transfer is over: `cancel` is not called once this has returned.
    void Disarm();
    // Any thread.
    void Cancel();
    bool Cancelled() const;
    // The download's time is up: its transfer ends as a cancel ends it, but the run goes on. Any thread.
    void Expire();
    bool Expired() const;

private:
    // Sets `why` (cancelled_ or expired_) and ends the transfer, under mutex_; reads one under it.
    void EndTransfer(bool& why);
    bool Read(const bool& why) const;

    mutable std::mutex mutex_;
    std::function<void()> cancel_; // under mutex_, which is held while it runs
    bool cancelled_ = false;       // under mutex_
    bool expired_ = false;         // under mutex_
};

// A list URL's download follows at most this many redirects, to http:// URLs only, and ends within this time.
constexpr int LIST_URL_MAX_REDIRECTS = 3;
constexpr uint32_t LIST_URL_DEADLINE_MS = 30000;

// How a list's download ended.
enum class ListDownload {
    Listed,           // the body is the list
    Failed,           // no list: a status other than 200, a dropped connection, a body cut short, or cancelled
    Refused,          // no connection could be made
    Unresolved,       // the host name has no address
    WebPage,          // the answer was a web page, not list entries
    BadRedirect,      // redirected to a URL other than http://
    TooManyRedirects, // redirected more often than a list URL may be
    TooSlow,          // the whole list did not come within a list URL's time
};

// Downloads a web master's list for the mod filter `modDir`, or a list URL's list, into `body`. Called on a thread of
// the run's, one per web master and list URL.
using ListFetcher = std::function<ListDownload(const std::u16string& modDir, const MasterEntry& master,
                                               std::vector<unsigned char>& body, DownloadCancel& cancel)>;

// The remembered list's file for a mod filter: `recall` reads its bytes (false when there is none or it cannot be
// read), `remember` replaces it whole or not at all. Called on the run's controller thread.
struct RememberedStore {
    std::function<bool(const std::u16string& modDir, std::vector<unsigned char>& file)> recall;
    std::function<void(const std::u16string& modDir, const std::vector<unsigned char>& file)> remember;
};
