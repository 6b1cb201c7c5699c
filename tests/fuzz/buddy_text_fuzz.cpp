// Any buddy text splits into exactly the counted entries, each terminated within 31 characters and never empty,
// and matching any name against them stays inside the entries. The same text, typed into the search box (odd
// UTF-16 and all), searches the server whose names it also fills: the search stays inside the record, and where it
// says a server matched agrees with whether it matched.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "core/display/buddy_match.h"
#include "core/display/server_search.h"
#include "require.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<char16_t> text(size / 2 + 1, 0);
    std::memcpy(text.data(), data, size / 2 * 2);
    size_t room = CountBuddyNames(text.data());
    // Exactly the counted room, so ASan sees any write past it.
    std::vector<BuddyName> entries(room);
    size_t count = SplitBuddyNames(text.data(), entries.data(), room);
    Require(count == room);
    for (const BuddyName& entry : entries) {
        size_t length = 0;
        while (length < BUDDY_NAME_SIZE && entry.text[length] != 0) {
            ++length;
        }
        Require(length > 0 && length < BUDDY_NAME_SIZE);
    }
    ServerRecord record{};
    record.playerCount = MAX_PLAYERS;
    for (size_t i = 0; i < MAX_PLAYERS && i * PLAYER_NAME_SIZE < text.size(); ++i) {
        size_t units = std::min<size_t>(PLAYER_NAME_SIZE, text.size() - i * PLAYER_NAME_SIZE);
        std::memcpy(record.players[i].name, text.data() + i * PLAYER_NAME_SIZE, units * sizeof(char16_t));
    }
    HasBuddyAmong(record, entries.data(), count);

    std::memcpy(record.hostname, text.data(), std::min(text.size(), size_t{LONG_INFO_SIZE}) * sizeof(char16_t));
    record.playerCount = size % (MAX_PLAYERS + 2) - 1; // -1 to MAX_PLAYERS
    ServerSearch search = MakeServerSearch({text.data(), text.size() - 1});
    Require(search.folded.size() <= SEARCH_TEXT_MAX);
    SearchMatch match = MatchServer(record, search);
    Require(ServerMatches(record, search) == (match.fields != 0 || !search.Active()));
    Require(match.player < std::max(record.playerCount, 0) &&
            ((match.player >= 0) == ((match.fields & MATCH_PLAYER) != 0)));
    Require(MatchText(record, match).empty() == (match.fields == 0));
    return 0;
}
