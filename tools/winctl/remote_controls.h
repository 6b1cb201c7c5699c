// Reading another process's status bar and list view: their texts are fetched through memory allocated in that
// process, since Windows copies no such buffer between processes.
#pragma once

#include <windows.h>

#include <string>

// The text of one part of a status bar, or empty when it cannot be read.
std::wstring RemoteStatusText(HWND statusBar, int part);

int RemoteListRowCount(HWND list);

// One cell's text (at most 511 characters), or empty when it cannot be read.
std::wstring RemoteListItemText(HWND list, int item, int subItem);
