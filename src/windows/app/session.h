// What the main window works with beyond its views: the configuration and the user's lists, the table it shows, the
// update run under way and the window's other background work. Win32 side; user interface thread only.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "core/protocol/master_entry.h"
#include "core/run/local_networks.h"
#include "core/run/run_events.h"
#include "core/run/run_handle.h"
#include "core/settings/configuration.h"
#include "windows/app/history_keeping.h"
#include "windows/state/server_lists.h"
#include "windows/state/shown_table.h"

struct FilterDownload;
struct GameSearch;

// The update run in progress, from the click that starts it to the report that ends it. Its masters and mod filter
// are its own until its table is shown.
struct RunState {
    std::unique_ptr<RunHandle> handle;
    bool running = false;
    bool aborting = false; // Abort was clicked: the button waits for the run's end
    std::vector<MasterEntry> masters;
    std::u16string modDir;
    // How its sources ended, as their events came: kept after its end for the Sources window.
    std::vector<SourceResult> sources;
    // A run the program started by itself keeps the table shown as it was until it ends: its own table and the
    // records that answered wait here, and replace the shown ones at once at its end (not when it was aborted).
    bool quiet = false;
    std::shared_ptr<ServerTable> waitingTable;
    std::vector<int32_t> waitingAnswers;
};

struct Session {
    // Loaded at start-up, edited by its dialog between runs, saved at exit.
    Configuration config;
    // Queried in every run; changed from the server list's menu and by joins.
    ServerLists lists;
    ShownTable shown;
    RunState run;
    // The start-up download of the mod filter list (windows/app/mod_filter_download.h) and the search for the game
    // (windows/launch/game_search.h), while they run.
    std::shared_ptr<FilterDownload> filterDownload;
    std::shared_ptr<GameSearch> gameSearch;
    // Who lists the networks a run searches the LAN on.
    LocalNetworkLister localNetworks;
    // Each server's ping and players over the last day, and its file.
    HistoryKeeping history;
};
