#include "core/display/buddy_match.h"

#include <algorithm>
#include <string>
#include <string_view>

#include "core/text/ascii_case.h"
#include "core/text/text.h"

namespace {

bool IsLineEnd(char16_t c) {
    return c == u'\r' || c == u'\n';
}

bool MatchesAnyEntry(std::u16string_view player, const BuddyName* entries, size_t count) {
    for (size_t i = 0; i < count; ++i) {
        std::u16string_view entry(entries[i].text);
        if (EqualsIgnoringAsciiCase(player, entry) || player.find(entry) != std::u16string_view::npos) {
            return true;
        }
    }
    return false;
}

} // namespace

size_t CountBuddyNames(const char16_t* text) {
    size_t count = 0;
    for (; *text; ++text) {
        if (!IsLineEnd(*text) && (text[1] == 0 || IsLineEnd(text[1]))) {
            ++count;
        }
    }
    return count;
}

size_t SplitBuddyNames(const char16_t* text, BuddyName* entries, size_t capacity) {
    size_t count = 0;
    char16_t name[BUDDY_NAME_SIZE];
    size_t length = 0;
    for (;; ++text) {
        if (*text == 0 || IsLineEnd(*text)) {
            if (length > 0 && count < capacity) {
                name[length] = 0;
                std::char_traits<char16_t>::copy(entries[count].text, name, length + 1);
                ++count;
            }
            length = 0;
            if (*text == 0) {
                return count;
            }
        } else if (length < BUDDY_NAME_SIZE - 1) {
            name[length++] = *text;
        }
    }
}

bool MatchesBuddy(const char16_t* name, const BuddyName* entries, size_t count) {
    return MatchesAnyEntry(name, entries, count);
}

bool HasBuddyAmong(const ServerRecord& record, const BuddyName* entries, size_t count) {
    int32_t players = record.playerCount < MAX_PLAYERS ? record.playerCount : MAX_PLAYERS;
    for (int32_t i = 0; i < players; ++i) {
        const char16_t* name = record.players[i].name;
        // Bounded by the field, so a name without a terminator is read as its 32 code units and no further.
        std::u16string_view player(name, std::find(name, name + PLAYER_NAME_SIZE, u'\0') - name);
        if (MatchesAnyEntry(player, entries, count)) {
            return true;
        }
    }
    return false;
}
