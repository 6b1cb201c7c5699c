// Helpers for driving the real main dialog in-process under Wine.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

// Creates the main dialog as the program does; returns it (null on failure).
HWND OpenMainWindow();

// Destroys the main dialog if it still exists, swallows the quit message that its end posts (returning that
// message's exit code, or -1 if none came) and puts AppState back to a fresh process's state.
int CloseMainWindow();

// Dispatches this thread's messages until the condition holds or the time is up; returns the condition.
bool PumpUntil(const std::function<bool()>& condition, DWORD timeoutMs = 5000);

std::wstring WindowText(HWND window);
std::wstring StatusPartText(int part);
