#include "core/display/server_search.h"

#include <algorithm>

#include "core/text/address.h"
#include "core/text/case_fold.h"

namespace {

constexpr char16_t PLACE_SEPARATOR = u'\u0001';

bool IsControl(char16_t c) {
    return c < 0x20 || (c >= 0x7F && c <= 0x9F);
}

// A text field up to its terminator or its end.
std::u16string_view FieldText(const char16_t* field, size_t size) {
    return {field, static_cast<size_t>(std::find(field, field + size, u'\0') - field)};
}

int32_t PlayersOf(const ServerRecord& record) {
    return std::clamp(record.playerCount, 0, MAX_PLAYERS);
}

// The places of a server in MATCH_ order, the players last; calls `place(field, text)` for each.
template <typename Place> void ForEachPlace(const ServerRecord& record, Place place) {
    char16_t address[32];
    FormatServerAddress(address, std::size(address), record.addr, record.port);
    place(MATCH_HOSTNAME, FieldText(record.hostname, LONG_INFO_SIZE));
    place(MATCH_MAP, FieldText(record.mapname, LONG_INFO_SIZE));
    place(MATCH_MOD, FieldText(record.gamename, SHORT_INFO_SIZE));
    place(MATCH_ADDRESS, std::u16string_view(address));
    for (int32_t i = 0; i < PlayersOf(record); ++i) {
        place(MATCH_PLAYER, FieldText(record.players[i].name, PLAYER_NAME_SIZE));
    }
}

} // namespace

ServerSearch MakeServerSearch(std::u16string_view typed) {
    std::u16string kept;
    for (char16_t c : typed.substr(0, SEARCH_TEXT_MAX)) {
        if (!IsControl(c)) {
            kept += c;
        }
    }
    ServerSearch search;
    AppendFolded(kept, search.folded);
    return search;
}

SearchMatch MatchServer(const ServerRecord& record, const ServerSearch& search) {
    SearchMatch match;
    if (!search.Active()) {
        return match;
    }
    int32_t player = 0;
    std::u16string folded;
    ForEachPlace(record, [&](uint32_t field, std::u16string_view text) {
        folded.clear();
        AppendFolded(text, folded);
        if (folded.find(search.folded) != std::u16string::npos) {
            match.fields |= field;
            if (field == MATCH_PLAYER && match.player < 0) {
                match.player = player;
            }
        }
        player += field == MATCH_PLAYER;
    });
    return match;
}

std::u16string SearchTextOf(const ServerRecord& record) {
    std::u16string text;
    text.reserve(256);
    ForEachPlace(record, [&](uint32_t, std::u16string_view place) {
        text += PLACE_SEPARATOR;
        AppendFolded(place, text);
    });
    return text;
}

bool SearchTextHolds(std::u16string_view searchText, const ServerSearch& search) {
    return !search.Active() || searchText.find(search.folded) != std::u16string_view::npos;
}

bool ServerMatches(const ServerRecord& record, const ServerSearch& search) {
    return !search.Active() || SearchTextHolds(SearchTextOf(record), search);
}

std::u16string MatchText(const ServerRecord& record, const SearchMatch& match) {
    static constexpr struct {
        uint32_t field;
        const char16_t* name;
    } PLACES[] = {
        {MATCH_HOSTNAME, u"host name"}, {MATCH_MAP, u"map"}, {MATCH_MOD, u"mod"}, {MATCH_ADDRESS, u"address"}};
    std::u16string text;
    for (const auto& place : PLACES) {
        if (match.fields & place.field) {
            text += (text.empty() ? u"" : u", ") + std::u16string(place.name);
        }
    }
    if ((match.fields & MATCH_PLAYER) && match.player >= 0 && match.player < PlayersOf(record)) {
        text += (text.empty() ? u"player \"" : u", player \"") +
                std::u16string(FieldText(record.players[match.player].name, PLAYER_NAME_SIZE)) + u"\"";
    }
    return text.empty() ? text : u"Matched in: " + text;
}
