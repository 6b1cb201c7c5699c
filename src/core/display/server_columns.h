// What the server list shows and how it orders rows: the column table, the row and ping icons, cell text,
// comparisons, the Full/Empty test and column widths. Portable (no Win32); the list view code calls these.
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/protocol/server_field.h"
#include "core/protocol/server_record.h"

// Set in a sort value to reverse the column's order; the other bits are the column index.
constexpr int32_t SORT_REVERSED = 0x4000;

struct ColumnSpec {
    const char16_t* title;
    int32_t widthPercent; // share of the list's width
    ServerField kind;     // what the column shows
    size_t sortField;     // offset in ServerRecord of the field that sorting compares
    int32_t numeric;      // 1: sortField is a 32-bit integer; 0: it is UTF-16 text
    int32_t sortWeight;   // 1 ascending on the first click, -1 descending, 0 every pair equal
};

constexpr int SERVER_COLUMN_COUNT = 7;
extern const ColumnSpec ServerColumns[SERVER_COLUMN_COUNT];

struct PlayerColumnSpec {
    const char16_t* title;
    int32_t widthPercent;
};

constexpr int PLAYER_COLUMN_COUNT = 3;
extern const PlayerColumnSpec PlayerColumns[PLAYER_COLUMN_COUNT];

// Images of the server list's image list, numbered in the order they are added, from 0.
enum ServerImage : int {
    IMAGE_COMPUTER, // unknown operating system
    IMAGE_PING_GOOD,
    IMAGE_PING_MEDIUM,
    IMAGE_PING_BAD,
    IMAGE_LINUX,
    IMAGE_WINDOWS,
    IMAGE_FREEBSD,
    IMAGE_APPLE,
    IMAGE_FAVOURITE, // drawn only as an overlay on a favourite's row icon
    IMAGE_RECENT,    // the same on the row of a server played on lately
    IMAGE_FAVOURITE_RECENT,
    IMAGE_LAN, // the same on the row of a server that answered on the LAN, alone and with the others
    IMAGE_LAN_FAVOURITE,
    IMAGE_LAN_RECENT,
    IMAGE_LAN_FAVOURITE_RECENT,
    IMAGE_WATCHED, // the mark of a watched server, alone and (made by the list) over each mix of the others
};

// The first column whose kind is FIELD_PING: the default sort column.
int32_t PingColumn();

// The row icon for a server's version text. The rules are tried in order, ignoring the case of A to Z:
// "linux"; "mingw", "win" or "msvc"; "freebsd"; "osx" or "ppc"; otherwise the plain computer.
int OsIconFromVersion(const char16_t* version);

// The ping cell's dot; the comparisons are unsigned, so a negative threshold counts as a huge one.
int PingImage(uint32_t ping, int32_t goodPing, int32_t mediumPing);

// A sort value that names a column: values whose column part is no column (or with other bits set) become the
// ping column in its plain order.
int32_t ValidSortValue(int32_t sortValue);

// The sort value after a click on a column header: the column's plain order, reversed when that column is
// already the sort column in its plain order.
int32_t NextSortValue(int32_t clickedColumn, int32_t sortValue);

// Negative, zero or positive as `a` sorts before, with or after `b` under the sort value. The address column
// orders by address (first octet most significant), then port.
int CompareServerRecords(const ServerRecord& a, const ServerRecord& b, int32_t sortValue);

// Whether an answered server passes the Full/Empty filters. Full: no free slot (also maxClients 0); empty: no
// players.
bool PassesServerFilters(const ServerRecord& record, bool showFull, bool showEmpty);

// Writes the text of a cell (bounded, always terminated) and returns true; returns false, writing nothing, for
// columns that show no text.
bool FormatServerCell(const ServerRecord& record, int column, char16_t* dest, size_t size);

// Column widths at creation, from the list's own client width: percent of (width - 16).
int InitialColumnWidth(int32_t widthPercent, int listClientWidth);

// Column widths after a size change of the main dialog to `clientWidth` (0 to 65535). Never negative.
int ServerColumnWidth(int column, int clientWidth);
// The player list: all three columns in the details view; in the small-icon view only column 0 is sized.
int PlayerColumnWidth(int column, bool detailsView, int clientWidth);
