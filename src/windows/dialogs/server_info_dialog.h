// The server info dialog: every key and value of a server's last reply in the order they came, where the server came
// from, and its ping and players over the last day. Win32 side; user interface thread only.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "core/history/server_history.h"
#include "core/protocol/info_pairs.h"
#include "core/settings/configuration.h"
#include "windows/dialogs/history_graphs.h"
#include "windows/state/server_lists.h"
#include "windows/state/shown_table.h"

// What the dialog shows, decoded: a copy taken from the record when the menu opens, so a table replaced while the
// menu or the dialog is open changes nothing of it.
struct ServerInfo {
    std::u16string address; // "a.b.c.d:port"
    std::vector<InfoPair> pairs;
    std::vector<std::u16string> sources; // SourceLines of the record
    InfoHistory history;
};

// The server info of a record of the shown table, with "Last joined ..." for a server of the history.
ServerInfo ServerInfoOf(const ServerRecord& record, const ShownTable& shown, const ServerLists& lists);

// The record's server's last day up to `now` from the kept history (null: none is kept), in the configuration's
// ping colours.
InfoHistory InfoHistoryOf(const ServerRecord& record, const ServerHistories* histories, int64_t now,
                          const Configuration& config);

// Runs the dialog modally over `owner`; Close (also Enter), Escape and the close box end it.
void RunServerInfoDialog(HWND owner, const ServerInfo& info);

// The dialog procedure; WM_INITDIALOG's lParam is the ServerInfo to show, read only there: the controls keep what
// they show, and the dialog a copy of the history its graphs draw.
INT_PTR CALLBACK ServerInfoDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
