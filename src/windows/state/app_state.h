// The main window's state: its handles and everything it shows or keeps. Win32 side.
//
// The main dialog owns it: made with the dialog, kept in its DWLP_USER, and let go when the dialog is destroyed.
// Its procedure hands it to every handler, holding it for the handler's length, so a handler whose modal loop (a
// message box, a menu) outlives the window still finds it; only the user interface thread reads or writes it. Workers
// own what they use (an update run owns its threads, socket, in-flight window and the table it fills; see
// core/run/run_handle.h) and report through channels the window drains; what the window shows of a run's table it
// reads only once the run has handed the record over.
#pragma once

#include <winsock2.h>
#include <windows.h>

#include <memory>
#include <vector>

#include "core/display/server_rows.h"
#include "core/display/server_search.h"
#include "core/protocol/master_entry.h"
#include "core/run/local_networks.h"
#include "core/run/run_handle.h"
#include "core/run/server_table.h"
#include "core/settings/favourites.h"
#include "core/settings/recent_servers.h"
#include "core/settings/settings.h"

struct BuddyName;
struct FilterDownload;
struct GameSearch;

constexpr size_t STATUS_TEXT_SIZE = 1024;

// What the bar keeps between its changes; part of the user interface thread's record.
struct StatusLineState {
    wchar_t waiting[2][STATUS_TEXT_SIZE]; // oldest first
    int waitingCount;
    DWORD lastShown; // when the bar last changed
    bool timerSet;
    bool countsDue;
};

constexpr int MOD_FILTER_CAPACITY = 64;

struct AppState {
    // Frees what the state keeps on the process heap: the buddy entries, the mod filter text and directories.
    ~AppState();

    HINSTANCE hInstance;
    int32_t canSetView; // Windows XP or later: the list view's mode can be switched

    // The windows; cleared when the main dialog is destroyed.
    HWND hMainDlg;
    HWND hServerList;
    HWND hPlayerList;
    HWND hStatusBar;
    StatusLineState statusLine;
    // The DPI the window is laid out for, and the controls' font once a change of DPI has replaced the dialog's own
    // (null until then; the state deletes it).
    UINT dpi;
    HFONT rescaledFont;

    ServerRows serverRows; // what the server list's rows show, in their order
    int32_t shownServers;  // rows in the server list
    int32_t shownPlayers;  // players of the listed servers
    int32_t listDirty;     // a server was listed since the list was last repainted
    bool listRedrawHeld;   // the server list's redrawing is off while rows are listed
    bool followingRows;    // the list's selection is moving after its server, which the player list already shows
    bool listRepaintTimerSet;
    DWORD listLastRepaint;
    int32_t showFull; // the Full and Empty boxes, as the list was last filtered
    int32_t showEmpty;
    int32_t sortColumn;        // server list sort column, SORT_REVERSED bit = reversed
    int32_t playerViewDetails; // the player list shows the details view
    BuddyName* buddies;        // heap; the parsed buddy entries, buddyCount of them in use
    int32_t buddyCount;

    // The update run in progress, from the click that starts it to the report that ends it, and who lists the
    // networks a run searches the LAN on.
    std::unique_ptr<RunHandle> run;
    LocalNetworkLister localNetworks;
    int32_t updateRunning;
    // The start-up download of the mod filter list (windows/app/mod_filter_download.h) and the search for the game
    // (windows/launch/game_search.h), while they run.
    std::shared_ptr<FilterDownload> filterDownload;
    std::shared_ptr<GameSearch> gameSearch;

    // The table shown: held with the run that fills it, and read only in records the run has handed over
    // (`delivered`). serverCount is how many records the run has told of, which grows as its masters answer.
    std::shared_ptr<ServerTable> table;
    int32_t serverCount;
    // The run that fills the shown table asked these masters (a record's source bits index them) for this mod
    // filter; the run under way, its own until its table is shown.
    std::vector<MasterEntry> tableMasters;
    std::u16string tableModDir;
    std::vector<MasterEntry> runMasters;
    std::u16string runModDir;

    // The mod filter box's game directories; the box's item data index these.
    wchar_t* modFilterDirs[MOD_FILTER_CAPACITY]; // heap strings
    int32_t modFilterCount;

    // The settings: loaded at start-up, the configuration edited by its dialog between runs, saved at exit and when
    // the favourites change.
    Configuration config;
    wchar_t lastModFilter[MOD_DIR_SIZE];     // the game directory selected when the program last ended
    wchar_t* modFilterText;                  // heap; the mod filter list text, null until first set
    std::vector<FavouriteServer> favourites; // queried in every run; changed from the server list's menu
    std::vector<RecentServer> recentServers; // the history: queried in every run; changed by joins and the menu

    // Finding a game: the search box's text as the list was last filtered by it, the main window's keys, and how
    // many servers the mod filter and the Full/Empty boxes list, of which shownServers are shown.
    ServerSearch search;
    int32_t showChoice;                      // the "Show" choice: a SHOW_ value (windows/views/search_rows.h)
    std::vector<std::u16string> searchTexts; // by table index: the record's places folded, once searched; or empty
    HACCEL hKeys;
    int32_t listedServers;
};

// The state the main dialog keeps (as a std::shared_ptr<AppState> on the heap, in its DWLP_USER): null before
// WM_INITDIALOG and after the dialog's end.
AppState* MainWindowState(HWND mainDialog);

// The names of the masters of the run that filled the shown table, by their index (a record's SourceSet bits).
std::vector<std::u16string> ShownMasterNames(const AppState& app);

// The source bits of that run's web masters: they list servers per mod filter.
SourceSet ShownWebMasterSources(const AppState& app);

// A record of the shown table, 0 <= index < app.serverCount.
inline ServerRecord& ShownServer(AppState& app, int64_t index) {
    return (*app.table)[static_cast<size_t>(index)];
}

// The table index a row of the server list shows, or -1 when the list has no such row.
inline int32_t RowServerIndex(const AppState& app, int64_t row) {
    int32_t index = app.serverRows.IndexAt(row);
    return index < app.serverCount ? index : -1;
}
