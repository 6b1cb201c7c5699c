// The one application state record. Win32 side: it holds window handles, events and locks.
//
// Its fields are grouped by who may write them. The user interface thread owns every window and reads the server
// table without a lock; the update and receiver threads write the table under tableLock and reach windows only by
// messages; the filter download thread fills the mod filter box under filterLock.
#pragma once

#include <winsock2.h>
#include <windows.h>

#include "app/settings.h"
#include "net/server_record.h"

struct BuddyName;

constexpr int MOD_FILTER_CAPACITY = 64;

struct ThreadRef {
    HANDLE handle;
    DWORD id;
};

struct AppState {
    // The process: set at start-up and kept until it ends.
    HINSTANCE hInstance;
    HANDLE abortEvent;           // manual reset; set to abort the current run, reset at its end
    CRITICAL_SECTION tableLock;  // guards the server records during an update run; never taken by the UI thread
    CRITICAL_SECTION filterLock; // guards the mod filter box, modFilterDirs and modFilterCount
    int32_t canSetView;          // Windows XP or later: the list view's mode can be switched

    // The user interface thread's windows and what it alone reads and writes.
    HWND hMainDlg;
    HWND hServerList;
    HWND hPlayerList;
    HWND hStatusBar;
    int32_t shownServers; // rows in the server list
    int32_t shownPlayers; // players of the listed servers
    int32_t listDirty;    // a server was listed since the list was last repainted
    int32_t showFull;     // the Full and Empty boxes, as the list was last filtered
    int32_t showEmpty;
    int32_t sortColumn;        // server list sort column, SORT_REVERSED bit = reversed
    int32_t playerViewDetails; // the player list shows the details view
    BuddyName* buddies;        // heap; the parsed buddy entries, buddyCount of them in use
    int32_t buddyCount;
    int32_t updateRunning; // a run is in progress; written by ToggleUpdate and the run's end

    // The current update run: its worker, and the objects the query engine creates and closes for each run.
    ThreadRef updateThread;   // handle closed at once
    SOCKET querySocket;       // UDP socket of the current update run
    HANDLE socketEvent;       // automatic reset; closed by the receiver thread
    HANDLE receiverStopEvent; // automatic reset; closed by the receiver thread
    HANDLE allAnsweredEvent;  // automatic reset

    // The server table, replaced by a run's rebuild on the user interface thread; its records are written under
    // tableLock.
    ServerRecord* servers; // heap
    int32_t serverCount;   // records in use in servers

    // The mod filter box's game directories, under filterLock.
    wchar_t* modFilterDirs[MOD_FILTER_CAPACITY]; // heap strings; the box's item data indexes these
    int32_t modFilterCount;

    // The settings: loaded at start-up, edited by the configuration dialog between runs, saved at exit.
    wchar_t gameDir[PATH_TEXT_SIZE];
    wchar_t gameExe[PATH_TEXT_SIZE];
    int32_t packetsPerSecond;
    int32_t goodPing;
    int32_t mediumPing;
    wchar_t lastModFilter[MOD_DIR_SIZE]; // the game directory selected when the program last ended
    wchar_t* buddyText;                  // heap; the buddy list as typed
    wchar_t* modFilterText;              // heap; the mod filter list text, null until first set
};

extern AppState app;

// Releases what the state owns on the heap: the table, the buddy entries and text, the mod filter text and
// directories; the pointers and counts go back to zero. A worker may still be running when the program ends, so it
// first takes tableLock and filterLock and keeps them: such a worker waits at its next lock for the process to end
// instead of meeting what was released. The abort event and the two locks live as long as the process.
void ReleaseAppState();
