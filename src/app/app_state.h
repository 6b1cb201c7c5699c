// The one application state record. Win32 side: it holds window handles, events and locks.
//
// Threads: the user interface thread owns every window and reads the server table without a lock; the update
// and receiver threads write the table under tableLock and reach windows only by sending them messages.
#pragma once

#include <winsock2.h>
#include <windows.h>

#include "net/server_record.h"
#include "ui/views/buddy_match.h"

constexpr int MOD_FILTER_CAPACITY = 64;
constexpr int PATH_TEXT_SIZE = 260;
constexpr int MOD_DIR_SIZE = 64;

struct ThreadRef {
    HANDLE handle;
    DWORD id;
};

struct AppState {
    int32_t sortColumn;        // server list sort column, SORT_REVERSED bit = reversed
    int32_t playerViewDetails; // player list shows the details view
    wchar_t* modFilterText;    // heap; mod filter list text, null until first set
    int32_t shownServers;      // rows in the server list
    int32_t shownPlayers;      // players of the listed servers
    ThreadRef updateThread;    // worker of the current update run (handle closed at once)
    int32_t serverCount;       // records in use in servers
    HANDLE abortEvent;         // manual reset; lives as long as the process
    HWND hServerList;
    int32_t mediumPing;
    wchar_t gameExe[PATH_TEXT_SIZE];
    HINSTANCE hInstance;
    int32_t buddyCount;
    HANDLE receiverStopEvent; // automatic reset; one per update run
    HWND hMainDlg;
    HWND hPlayerList;
    HWND hStatusBar;
    CRITICAL_SECTION filterLock; // guards the mod filter box, modFilterDirs and modFilterCount
    int32_t showFull;
    HANDLE socketEvent; // automatic reset; one per update run
    int32_t goodPing;
    wchar_t lastModFilter[MOD_DIR_SIZE];
    wchar_t* buddyText;         // heap; the buddy list as typed
    CRITICAL_SECTION tableLock; // guards the server records during an update run; never taken by the UI thread
    ServerRecord* servers;      // heap; the server table
    int32_t canSetView;         // Windows XP or later: the list view's mode can be switched
    BuddyName* buddies;         // heap; the parsed buddy entries, buddyCount of them in use
    wchar_t gameDir[PATH_TEXT_SIZE];
    int32_t modFilterCount;
    SOCKET querySocket; // UDP socket of the current update run
    int32_t updateRunning;
    wchar_t* modFilterDirs[MOD_FILTER_CAPACITY]; // heap strings; mod filter box item data indexes these
    int32_t packetsPerSecond;
    int32_t listDirty; // a server was listed since the last batched repaint; user interface thread only
    int32_t showEmpty;
    HANDLE allAnsweredEvent; // automatic reset; one per update run
};

extern AppState app;
