// Test helpers for the server list: a table of local servers, replies fed through the real parser, and the list
// read back as a user sees it.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

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

// Rebuilds the table with `count` servers 10.0.0.1:27910, 10.0.0.2:27910, ... (all unanswered).
void LoadServerTable(int count);
// Rebuilds the table from a master list body: 6 bytes per server, the address and then the port, high byte first.
void LoadServerTable(const std::vector<unsigned char>& body);

// Parses a reply for table record `index` as the receiver thread would (tableLock held), with the query sent
// `pingMs` milliseconds before; then, unless `deliver` is false, has the user interface thread list everything
// handed over so far, as a run's end does.
void FeedReply(int index, const std::string& reply, DWORD pingMs = 50, bool deliver = true);
void FeedServer(int index, const TestServer& server, DWORD pingMs = 50, bool deliver = true);

int ListRowCount(HWND list);
// The server list's row of a table record, or -1.
int ServerRow(int record);
std::wstring ListItemText(HWND list, int item, int subItem);
int ListItemImage(HWND list, int item, int subItem);
LPARAM ListItemData(HWND list, int item);
// One column's texts, top to bottom.
std::vector<std::wstring> ListColumn(HWND list, int subItem);

// Sets a check box by clicking it when it is not in the wanted state.
void SetCheckBox(int id, bool checked);
// A click on a column header of one of the main dialog's lists, as the list view reports it.
void ClickListColumn(HWND list, int column);
void ClickServerColumn(int column);
// A right click at a point of a list's client area, as the mouse makes it: the list sends NM_RCLICK before this
// returns.
void RightClickList(HWND list, POINT point);
