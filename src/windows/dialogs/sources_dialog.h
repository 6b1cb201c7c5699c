// "Sources..." in the main window's system menu: what each source of the last update run gave
// (core/run/source_report.h), in a list of its own: its name and kind, servers listed or why not, and when. Win32 side;
// user interface thread only.
#pragma once

#include <windows.h>

#include <vector>

#include "core/run/source_report.h"

// The system menu command; the low four bits of a system command are the system's own.
constexpr UINT SYSTEM_MENU_SOURCES = 0x0020;

// Adds the item to the window's system menu, before "About Skerrow" (which must be there).
void AddSourcesItem(HWND window);

// Runs the dialog modally over `owner` with these rows; Close (also Enter), Escape and the close box end it.
void RunSourcesDialog(HWND owner, const std::vector<SourceRow>& rows);

// The dialog procedure; WM_INITDIALOG's lParam is the rows to show, read only there.
INT_PTR CALLBACK SourcesDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
