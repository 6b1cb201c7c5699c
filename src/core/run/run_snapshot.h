// What an update run starts from, and what it asks of the program around it. Portable (no Win32).
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "core/protocol/master_entry.h"
#include "core/protocol/status_reply.h"
#include "core/settings/favourites.h"

// What a run needs, taken when it starts and never changed after.
struct RunSnapshot {
    int32_t packetsPerSecond = 10;
    std::u16string modDir;                   // the selected mod filter's game directory; empty for none
    std::vector<MasterEntry> masters;        // asked all at once; a master's index is its source bit
    std::vector<FavouriteServer> favourites; // queried in every run, whatever the masters answer
    AnsiDecoder decodeAnsi = nullptr;
};

// Downloads a web master's list for the snapshot's mod filter into `body`; false when the download failed. Called
// on a thread of the run's, one per master.
using ListFetcher =
    std::function<bool(const RunSnapshot& snapshot, const MasterEntry& master, std::vector<unsigned char>& body)>;

// The remembered list's file for a mod filter: `recall` reads its bytes (false when there is none or it cannot be
// read), `remember` replaces it whole or not at all. Called on the run's controller thread.
struct RememberedStore {
    std::function<bool(const std::u16string& modDir, std::vector<unsigned char>& file)> recall;
    std::function<void(const std::u16string& modDir, const std::vector<unsigned char>& file)> remember;
};
