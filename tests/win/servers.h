// Test helpers for the server list: a table of local servers, replies fed through the real parser, and the list
// read back as a user sees it.
#pragma once

#include <winsock2.h>
#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "core/run/server_table.h"

struct TestPlayer {
    int score;
    int ping;
    std::string name;
};

struct TestServer {
    std::string hostname = "Server";
    std::string mapname = "q2dm1";
    std::string gamename = "baseq2";
    std::string version = "3.20 x86 Dec 21 1998 Win32 RELEASE";
    int maxClients = 8;
    int anticheat = 0;
    std::vector<TestPlayer> players;
};

// A status reply as a server sends it.
std::string ReplyOf(const TestServer& server);

// Simulator scenarios: a [server] section for 127.0.0.1:port named "Host <port>" with `keys`; the same with one
// player of eight; `count` of those from port 27910 on.
std::string ScenarioSection(int port, const std::string& keys);
std::string ScenarioServer(int port, const std::string& keys = "");
std::string ScenarioServers(int count, const std::string& keys = "");
// How many queries the simulator's server on 127.0.0.1:port has received.
size_t QueriesTo(int port);

// Rebuilds the table with `count` servers 10.0.0.1:27910, 10.0.0.2:27910, ... (all unanswered).
void LoadServerTable(int count);
// Rebuilds the table from a master list body: 6 bytes per server, the address and then the port, high byte first.
void LoadServerTable(const std::vector<unsigned char>& body);
// A table of one unanswered record per distinct server of the body, named by the first master, as a run's table
// holds them once it has asked each.
std::shared_ptr<ServerTable> TableOf(const std::vector<unsigned char>& body);

// Parses a reply into table record `index` as a run's receiver does (the record answered, `pingMs` its ping);
// then, unless `deliver` is false, lists everything fed so far as a run's report does (DeliverFedReplies).
void FeedReply(int index, const std::string& reply, DWORD pingMs = 50, bool deliver = true);
void FeedServer(int index, const TestServer& server, DWORD pingMs = 50, bool deliver = true);
// Lists the records fed since the last delivery as one batch, hands them to the window's watching as a run's report
// does, and shows the counts.
void DeliverFedReplies();
// The status text a run shows for table record `index`'s reply.
std::wstring RunStatusOf(int index);

int ListRowCount(HWND list);
// The server list's row of a table record, or -1.
int ServerRow(int record);
std::wstring ListItemText(HWND list, int item, int subItem);
int ListItemImage(HWND list, int item, int subItem);
// The row's item data; for the server list, the table index the row shows.
LPARAM ListItemData(HWND list, int item);
// One column's texts, top to bottom.
std::vector<std::wstring> ListColumn(HWND list, int subItem);

// Checks what a user sees against the table: every row names a delivered record that passes the Full and Empty
// filters as the list last applied them and the search, each such record has exactly one row, and shownServers,
// shownPlayers and listedServers add up. Returns why not, or the empty text.
std::string ListDisagreesWithTable();

// Whether the window's thread serves a message sent from another thread: it does only while its message loop is
// free, which this thread's pumping stands in for.
bool AnswersFromAnotherThread(HWND window);

// What every update run must end with, however hostile its input: the status text `status`, no run left going, a
// window that answers another thread, a list that agrees with the table, and status bar counts and a closing line's
// counts that agree with it. Records failures; a failure to assert stops only this check.
void ExpectSoundEnd(const std::wstring& status);

// Sets a check box by clicking it when it is not in the wanted state.
void SetCheckBox(int id, bool checked);
// A click on a column header of one of the main dialog's lists, as the list view reports it.
void ClickListColumn(HWND list, int column);
void ClickServerColumn(int column);
// A right click at a point of a list's client area, as the mouse makes it: the list sends NM_RCLICK before this
// returns.
void RightClickList(HWND list, POINT point);

// A TCP socket listening on 127.0.0.1 at a port the system picks (`*port`); INVALID_SOCKET when none could be had.
SOCKET ListenOnLoopback(uint16_t* port);
