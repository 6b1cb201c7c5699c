// The program's private window messages to the main dialog: the wake-ups of its background work. Workers only post
// them, with no payload: each says that a channel (core/worker/waking_channel.h) has something, and the user
// interface thread takes all of it. None waits for the window, and a wake-up that finds its work gone finds nothing.
#pragma once

#include <windows.h>

// The update run's channel (core/run/run_channel.h).
constexpr UINT WM_APP_RUN_REPORT = WM_APP + 1;

// The mod filter download's (windows/app/mod_filter_download.h).
constexpr UINT WM_APP_FILTER_REPORT = WM_APP + 4;

// The game search's (windows/launch/game_search.h).
constexpr UINT WM_APP_GAME_SEARCH_REPORT = WM_APP + 20;

// The watched servers' queries (core/watch/watch_querier.h).
constexpr UINT WM_APP_WATCH_REPORT = WM_APP + 21;

// The notification area icon's callback: the shell's, not a wake-up; lParam says what the user did with the icon.
constexpr UINT WM_APP_TRAY_ICON = WM_APP + 22;
