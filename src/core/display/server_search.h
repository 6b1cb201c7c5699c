// Search as you type: which servers hold the typed text in their host name, map, mod, address or a player's name,
// ignoring case across Unicode (core/text/case_fold.h), and where. Portable (no Win32); the server list filters its
// rows by it and says why a row matched.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "core/protocol/server_record.h"

// Code units of typed text a search takes; a host name holds at most 255, so a longer text could match nothing.
constexpr size_t SEARCH_TEXT_MAX = 255;

struct ServerSearch {
    std::u16string folded; // the typed text folded; empty: no search, every server matches
    bool Active() const { return !folded.empty(); }
};

// The search for a typed text: its first SEARCH_TEXT_MAX code units, control characters (U+0000 to U+001F, U+007F
// to U+009F) left out. A text of nothing else is no search.
ServerSearch MakeServerSearch(std::u16string_view typed);

// Where a server matched, as bits.
constexpr uint32_t MATCH_HOSTNAME = 1;
constexpr uint32_t MATCH_MAP = 2;
constexpr uint32_t MATCH_MOD = 4;
constexpr uint32_t MATCH_ADDRESS = 8;
constexpr uint32_t MATCH_PLAYER = 16;

struct SearchMatch {
    uint32_t fields = 0; // MATCH_ bits; 0 when the server does not match, or there is no search
    int32_t player = -1; // the first player whose name holds the text, or -1
};

// Every place the server holds the search text: its host name, map, mod (gamename), address as "a.b.c.d:port" and
// its first playerCount players' names (at most MAX_PLAYERS). Text fields are read up to their terminator or the
// field's end, whichever comes first.
SearchMatch MatchServer(const ServerRecord& record, const ServerSearch& search);

// Whether the server is shown under the search: every server while there is none.
bool ServerMatches(const ServerRecord& record, const ServerSearch& search);

// The same in two steps, for a list that searches the same servers keystroke after keystroke: every place
// ServerMatches looks through, folded once, each after a control character (which no search holds, so none matches
// across two places); then whether such a text holds the search.
std::u16string SearchTextOf(const ServerRecord& record);
bool SearchTextHolds(std::u16string_view searchText, const ServerSearch& search);

// Why a server matched, as its row's tip says it: "Matched in: host name, map, mod, address, player "NAME"" with
// the places it matched; empty when it did not.
std::u16string MatchText(const ServerRecord& record, const SearchMatch& match);
