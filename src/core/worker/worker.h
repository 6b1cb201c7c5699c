// Background work: every long operation of the program (an update run, the filter download, the search for the
// game) runs on a worker started here and reports through a WakingChannel that the user interface thread drains.
// Portable (no Win32).
//
// Nobody joins a worker and nothing waits for one: whatever it uses it holds itself (a shared pointer it was handed),
// so it finishes on its own state whatever becomes of the window that started it, or ends with the process.
#pragma once

#include <functional>

// Runs `work` on a thread of its own. False when no thread could be had: `work` did not run, and `error`, when
// given, holds the system's reason.
bool StartWorker(std::function<void()> work, int* error = nullptr);
