#include "core/display/server_columns.h"

#include <cstddef>
#include <cstring>

#include "core/protocol/list_entry.h"
#include "core/text/address.h"
#include "core/text/ascii_case.h"
#include "core/text/format.h"
#include "core/text/text.h"

// The address column sorts (by address, then port) although the addresses are no plain integers: see
// CompareServerRecords.
const ColumnSpec ServerColumns[SERVER_COLUMN_COUNT] = {
    {u"Host Name", 30, FIELD_HOSTNAME, offsetof(ServerRecord, hostname), 0, 1},
    {u"IP Address", 20, FIELD_ADDRESS, offsetof(ServerRecord, addr), 1, 1},
    {u"Map", 10, FIELD_MAPNAME, offsetof(ServerRecord, mapname), 0, 1},
    {u"Players", 10, FIELD_PLAYERS, offsetof(ServerRecord, playerCount), 1, -1},
    {u"AC", 5, FIELD_ANTICHEAT, offsetof(ServerRecord, anticheat), 1, 1},
    {u"Mod", 15, FIELD_GAMENAME, offsetof(ServerRecord, gamename), 0, 1},
    {u"Ping", 10, FIELD_PING, offsetof(ServerRecord, ping), 1, 1},
};

const PlayerColumnSpec PlayerColumns[PLAYER_COLUMN_COUNT] = {{u"Name", 50}, {u"Score", 25}, {u"Ping", 25}};

namespace {

constexpr double MAIN_TEMPLATE_WIDTH = 686; // the main dialog's client width the widths below were laid out for
constexpr double SERVER_LIST_SPAN = 659;
constexpr double PLAYER_LIST_SPAN = 296;
constexpr double LIST_MARGIN = 20;
constexpr float PLAYER_ICON_VIEW_SHARE = 0.33f;

// Whether lower-case ASCII `needle` occurs in `text`, ignoring the case of A to Z.
bool ContainsFolded(const char16_t* text, const char* needle) {
    for (; *text; ++text) {
        size_t i = 0;
        while (needle[i] && FoldAscii(text[i]) == static_cast<char16_t>(needle[i])) {
            ++i;
        }
        if (!needle[i]) {
            return true;
        }
    }
    return false;
}

int CompareFolded(const char16_t* a, const char16_t* b) {
    for (;; ++a, ++b) {
        char16_t x = FoldAscii(*a);
        char16_t y = FoldAscii(*b);
        if (x != y) {
            return x < y ? -1 : 1;
        }
        if (!x) {
            return 0;
        }
    }
}

int32_t ReadInt(const ServerRecord& record, size_t offset) {
    int32_t value;
    std::memcpy(&value, reinterpret_cast<const unsigned char*>(&record) + offset, sizeof value);
    return value;
}

const char16_t* ReadText(const ServerRecord& record, size_t offset) {
    return reinterpret_cast<const char16_t*>(reinterpret_cast<const unsigned char*>(&record) + offset);
}

int CompareAddresses(const ServerRecord& a, const ServerRecord& b) {
    uint32_t x = OctetsOfAddress(a.addr);
    uint32_t y = OctetsOfAddress(b.addr);
    if (x != y) {
        return x < y ? -1 : 1;
    }
    return a.port < b.port ? -1 : a.port > b.port ? 1 : 0;
}

int ClampWidth(double width) {
    return width > 0 ? static_cast<int>(width) : 0;
}

double WidthScale(int clientWidth) {
    return static_cast<float>(clientWidth / MAIN_TEMPLATE_WIDTH);
}

const char16_t* TextOfKind(const ServerRecord& record, ServerField kind) {
    switch (kind) {
    case FIELD_MAPNAME:
        return record.mapname;
    case FIELD_GAMENAME:
        return record.gamename;
    case FIELD_HOSTNAME:
        return record.hostname;
    case FIELD_GAMEDATE:
        return record.gamedate;
    case FIELD_VERSION:
        return record.version;
    default:
        return nullptr;
    }
}

} // namespace

int32_t PingColumn() {
    for (int i = 0; i < SERVER_COLUMN_COUNT; ++i) {
        if (ServerColumns[i].kind == FIELD_PING) {
            return i;
        }
    }
    return 0;
}

int OsIconFromVersion(const char16_t* version) {
    if (ContainsFolded(version, "linux")) {
        return IMAGE_LINUX;
    }
    if (ContainsFolded(version, "mingw") || ContainsFolded(version, "win") || ContainsFolded(version, "msvc")) {
        return IMAGE_WINDOWS;
    }
    if (ContainsFolded(version, "freebsd")) {
        return IMAGE_FREEBSD;
    }
    if (ContainsFolded(version, "osx") || ContainsFolded(version, "ppc")) {
        return IMAGE_APPLE;
    }
    return IMAGE_COMPUTER;
}

int PingImage(uint32_t ping, int32_t goodPing, int32_t mediumPing) {
    if (ping <= static_cast<uint32_t>(goodPing)) {
        return IMAGE_PING_GOOD;
    }
    return ping > static_cast<uint32_t>(mediumPing) ? IMAGE_PING_BAD : IMAGE_PING_MEDIUM;
}

int32_t ValidSortValue(int32_t sortValue) {
    int32_t column = sortValue & ~SORT_REVERSED;
    return column >= 0 && column < SERVER_COLUMN_COUNT ? sortValue : PingColumn();
}

int32_t NextSortValue(int32_t clickedColumn, int32_t sortValue) {
    int32_t next = clickedColumn;
    if (next == ValidSortValue(sortValue)) {
        next |= SORT_REVERSED;
    }
    return next;
}

int CompareServerRecords(const ServerRecord& a, const ServerRecord& b, int32_t sortValue) {
    sortValue = ValidSortValue(sortValue);
    const ColumnSpec& column = ServerColumns[sortValue & ~SORT_REVERSED];
    int direction = (sortValue & SORT_REVERSED) ? -1 : 1;
    int order;
    if (column.kind == FIELD_ADDRESS) {
        order = CompareAddresses(a, b);
    } else if (column.numeric) {
        int32_t x = ReadInt(a, column.sortField);
        int32_t y = ReadInt(b, column.sortField);
        order = x < y ? -1 : x > y ? 1 : 0;
    } else {
        order = CompareFolded(ReadText(a, column.sortField), ReadText(b, column.sortField));
    }
    return order * column.sortWeight * direction;
}

bool PassesServerFilters(const ServerRecord& record, bool showFull, bool showEmpty) {
    return (showFull || record.playerCount < record.maxClients) && (showEmpty || record.playerCount != 0);
}

bool FormatServerCell(const ServerRecord& record, int column, char16_t* dest, size_t size) {
    if (column < 0 || column >= SERVER_COLUMN_COUNT) {
        return false;
    }
    ServerField kind = ServerColumns[column].kind;
    switch (kind) {
    case FIELD_MAPNAME:
    case FIELD_GAMENAME:
    case FIELD_HOSTNAME:
    case FIELD_GAMEDATE:
    case FIELD_VERSION:
        TextCopy(dest, size, TextOfKind(record, kind));
        return true;
    case FIELD_TIMELIMIT:
        FormatInto(dest, size, u"{}", record.timelimit);
        return true;
    case FIELD_ANTICHEAT:
        FormatInto(dest, size, u"{}", record.anticheat);
        return true;
    case FIELD_ADDRESS:
        FormatServerAddress(dest, size, record.addr, record.port);
        return true;
    case FIELD_PLAYERS:
        FormatInto(dest, size, u"{} / {}", record.playerCount, record.maxClients);
        return true;
    case FIELD_PING:
        FormatInto(dest, size, u"{}", record.ping);
        return true;
    case FIELD_MAXCLIENTS:
    case FIELD_NONE:
        return false;
    }
    return false;
}

int InitialColumnWidth(int32_t widthPercent, int listClientWidth) {
    float width = static_cast<float>(listClientWidth - 16);
    return ClampWidth(widthPercent / 100.0f * width);
}

int ServerColumnWidth(int column, int clientWidth) {
    double span = WidthScale(clientWidth) * SERVER_LIST_SPAN - LIST_MARGIN;
    return ClampWidth(ServerColumns[column].widthPercent / 100.0 * span);
}

int PlayerColumnWidth(int column, bool detailsView, int clientWidth) {
    double span = WidthScale(clientWidth) * PLAYER_LIST_SPAN - LIST_MARGIN;
    if (!detailsView) {
        return ClampWidth(span * PLAYER_ICON_VIEW_SHARE);
    }
    return ClampWidth(PlayerColumns[column].widthPercent / 100.0 * span);
}
