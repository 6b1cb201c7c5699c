// The program's private window messages to the main dialog, so the step they carry runs on the user interface
// thread, the only thread that reads the server table without tableLock. Workers send those with a payload (it
// lives on the sender's stack until the UI thread has handled it); only the two wake-ups without one are posted.
#pragma once

#include <windows.h>

// Replies have been handed over (net/reply_handover.h): the UI thread takes every queued one and lists it. Posted
// by the receiver thread when the queue stops being empty (wParam 0), or sent with wParam TAKE_REPLIES_AT_ONCE by
// a worker that waits until everything accepted so far is listed and counted. Returns TRUE.
constexpr UINT WM_APP_TAKE_REPLIES = WM_APP + 1;

// Swaps the server table for another (a ServerTableSwap*, see server_table.h) and empties both lists, whose rows
// refer into the table. The rebuild uses it to take the old table away before releasing it and to publish the
// new one only once it is fully written.
constexpr UINT WM_APP_SWAP_TABLE = WM_APP + 2;

// The end of an update run, sent by its worker as its last step: the controls are restored, abortEvent reset and
// updateRunning cleared in one step of the user interface thread, where ToggleUpdate also runs, so a click can
// never be taken as an Abort of a run that is already ending. No payload; the handler returns TRUE.
constexpr UINT WM_APP_END_UPDATE = WM_APP + 3;

// A freshly downloaded mod filter text (lParam, a process-heap wide text) handed over by the filter download
// thread. The user interface thread, the only reader of modFilterText besides that thread, releases the old text
// and keeps the new one, so saving never meets a text being replaced. The handler returns TRUE; when the send
// fails (the dialog is gone), the text still belongs to the sender.
constexpr UINT WM_APP_SET_MOD_FILTER_TEXT = WM_APP + 4;

// A refill of the mod filter box has ended: sent by FillModFilters while it still holds filterLock, so the user
// interface thread can read the selection and modFilterDirs safely and keep the selected game directory for
// saving. No payload; the handler returns TRUE.
constexpr UINT WM_APP_MOD_FILTERS_FILLED = WM_APP + 5;

// A worker's status text is waiting (app/status_bar.h): posted with wParam 0 when the first text arrives after the
// last one shown, so the bar shows it as soon as its rate allows; sent with wParam STATUS_AT_ONCE and lParam the
// text (const wchar_t*) by a worker whose text must be shown, after any still waiting, before the send returns.
// Returns TRUE.
constexpr UINT WM_APP_SHOW_STATUS = WM_APP + 6;

// The game search's worker (launch/game_search.h) wakes the main dialog with these, posted, with no payload to free:
// what the dialog reads, it reads from the search it owns, so a wake-up left over from an ended search finds nothing.
// The search has started on drive number lParam of its snapshot.
constexpr UINT WM_APP_GAME_SEARCH_DRIVE = WM_APP + 20;
// The search found the game and waits until the user interface thread has asked the user about it.
constexpr UINT WM_APP_GAME_SEARCH_FOUND = WM_APP + 21;
// The search has ended (found, not found or stopped); its worker's last message.
constexpr UINT WM_APP_GAME_SEARCH_END = WM_APP + 22;
