// Finding another program's top-level window by its title, for the demo and the end-to-end tests.
#pragma once

#include <windows.h>

// A visible top-level window with exactly this title, owned by the given process (0: any process), or null.
HWND FindTopLevelWindow(const wchar_t* title, DWORD processId);

// The same, polled until it appears or the time is up.
HWND WaitForTopLevelWindow(const wchar_t* title, DWORD processId, DWORD timeoutMs);
