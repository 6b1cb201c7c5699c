// The program's private window messages to the main dialog. Workers send them (never post: the payload lives on
// the sender's stack until the UI thread has handled it), so the step they carry runs on the user interface
// thread, the only thread that reads the server table without tableLock.
#pragma once

#include <windows.h>

// A status reply parsed off the UI thread, to be stored into its record and listed there, so that no reader on
// the UI thread ever meets the record half filled or the row counted twice. wParam: the ServerRecord in the
// table; lParam: the parsed copy (const ServerRecord*). The receiver holds tableLock while it waits.
constexpr UINT WM_APP_STORE_REPLY = WM_APP + 1;

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

// The query engine's batched repaint of the server list: the rows listed since the last one are shown. While
// replies stream in, the list's own redrawing is held off (each row inserted otherwise redrew its scroll bar,
// which under Wine took longer than everything else a reply costs); this lets it redraw, once. No payload; the
// handler returns TRUE.
constexpr UINT WM_APP_REPAINT_LIST = WM_APP + 6;
