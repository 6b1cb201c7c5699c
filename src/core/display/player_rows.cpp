#include "core/display/player_rows.h"

#include "core/text/format.h"
#include "core/text/text.h"

namespace {

int CompareCodeUnits(const char16_t* a, const char16_t* b, size_t size) {
    for (size_t i = 0; i < size; ++i) {
        if (a[i] != b[i]) {
            return a[i] < b[i] ? -1 : 1;
        }
        if (!a[i]) {
            return 0;
        }
    }
    return 0;
}

} // namespace

void FormatPlayerCell(const PlayerRecord& player, int column, char16_t* dest, size_t size) {
    switch (column) {
    case PLAYER_COLUMN_NAME:
        TextCopy(dest, size, player.name);
        break;
    case PLAYER_COLUMN_SCORE:
        FormatInto(dest, size, u"{}", player.score);
        break;
    case PLAYER_COLUMN_PING:
        FormatInto(dest, size, u"{}", player.ping);
        break;
    }
}

int ComparePlayerRecords(const PlayerRecord& a, const PlayerRecord& b, int column) {
    switch (column) {
    case PLAYER_COLUMN_NAME:
        return CompareCodeUnits(a.name, b.name, PLAYER_NAME_SIZE);
    case PLAYER_COLUMN_SCORE:
        return a.score < b.score ? 1 : a.score > b.score ? -1 : 0;
    case PLAYER_COLUMN_PING:
        return a.ping < b.ping ? -1 : a.ping > b.ping ? 1 : 0;
    }
    return 0;
}
