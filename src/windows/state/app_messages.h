// The program's private window messages to the main dialog. Workers only post them: none waits for the window.
#pragma once

#include <windows.h>

// The update run's channel has something (core/run/run_channel.h): the user interface thread takes all of it. Posted by
// the run's threads; no payload.
constexpr UINT WM_APP_RUN_REPORT = WM_APP + 1;

// A freshly downloaded mod filter text (lParam, a process-heap wide text that the handler takes over), posted by
// the filter download thread. The user interface thread keeps it and fills the mod filter box from it. When the
// post fails (the dialog is gone) the text still belongs to the sender.
constexpr UINT WM_APP_SET_MOD_FILTER_TEXT = WM_APP + 4;

// The game search's worker (windows/launch/game_search.h) wakes the main dialog with these, posted, with no payload to free:
// what the dialog reads, it reads from the search it owns, so a wake-up left over from an ended search finds nothing.
// The search has started on drive number lParam of its snapshot.
constexpr UINT WM_APP_GAME_SEARCH_DRIVE = WM_APP + 20;
// The search found the game and waits until the user interface thread has asked the user about it.
constexpr UINT WM_APP_GAME_SEARCH_FOUND = WM_APP + 21;
// The search has ended (found, not found or stopped); its worker's last message.
constexpr UINT WM_APP_GAME_SEARCH_END = WM_APP + 22;
