// The one place that decides the controls that the window's background work takes: the Update button reads Update,
// Abort while a run goes (greyed once clicked, until the run's end), or Stop while the game is searched for, which
// comes first; Config and the mod filter box, which would change what a run or a join uses, wait for both. Win32
// side; user interface thread only.
#pragma once

#include <windows.h>

#include "windows/app/session.h"

// As the session's run and game search stand now.
void ShowBusy(HWND dialog, const Session& session);
