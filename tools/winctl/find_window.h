// Finding another program's top-level window by its title or class, for the demo and the end-to-end tests.
#pragma once

#include <windows.h>

// A visible top-level window with exactly this title, owned by the given process (0: any process), or null.
HWND FindTopLevelWindow(const wchar_t* title, DWORD processId);

// A visible top-level window of the class ("#32768": a popup menu) owned by the process (0: any), or null.
HWND FindTopLevelWindowOfClass(const wchar_t* className, DWORD processId);

// FindTopLevelWindow, polled until the window appears or the time is up.
HWND WaitForTopLevelWindow(const wchar_t* title, DWORD processId, DWORD timeoutMs);
