// The program's private window messages to the main dialog. Workers only post them: none waits for the window.
#pragma once

#include <windows.h>

// The update run's channel has something (net/run_channel.h): the user interface thread takes all of it. Posted by
// the run's threads; no payload.
constexpr UINT WM_APP_RUN_REPORT = WM_APP + 1;

// A freshly downloaded mod filter text (lParam, a process-heap wide text that the handler takes over), posted by
// the filter download thread. The user interface thread keeps it and fills the mod filter box from it. When the
// post fails (the dialog is gone) the text still belongs to the sender.
constexpr UINT WM_APP_SET_MOD_FILTER_TEXT = WM_APP + 4;
