// Reading another process's status bar and list view: their texts are fetched through memory allocated in that
// process, since Windows copies no such buffer between processes.
#pragma once

#include <windows.h>

#include <string>

// The text of one part of a status bar, or empty when it cannot be read.
std::wstring RemoteStatusText(HWND statusBar, int part);

// Polls a status bar's part 0 until it begins with the prefix or the time is up; returns the last text read.
std::wstring AwaitRemoteStatus(HWND statusBar, const std::wstring& prefix, DWORD timeoutMs);

int RemoteListRowCount(HWND list);

// One cell's text (at most 511 characters), or empty when it cannot be read.
std::wstring RemoteListItemText(HWND list, int item, int subItem);

// Selects and focuses one row of another process's list view, as a click does; false when it cannot be done.
bool SelectRemoteListRow(HWND list, int item);

// Right-clicks a row of another process's list view as the mouse does, the press and then the release; false when
// the row's place cannot be read.
bool RightClickRemoteListRow(HWND list, int item);

// Picks the item at `position` (0 first) of the next popup menu the process shows, with the arrow keys and Enter as
// a user does, and waits until the menu has gone: Wine lets no other process read a menu's items, so the caller
// knows the position. False when no menu shows, or it stays, within the time.
bool ChooseRemoteMenuItem(DWORD processId, int position, DWORD timeoutMs);
