#include "core/protocol/status_reply.h"

#include <cstring>

#include "core/protocol/info_pairs.h"
#include "core/text/ascii_case.h"
#include "core/text/text.h"

const unsigned char STATUS_QUERY[STATUS_QUERY_SIZE] = {0xFF, 0xFF, 0xFF, 0xFF, 's', 't', 'a', 't', 'u', 's', '\n', 0};

const char16_t GAMENAME_ABSENT[] = u"default";

const InfoKey InfoKeyTable[INFO_KEY_COUNT] = {
    {"maxclients", FIELD_MAXCLIENTS}, {"mapname", FIELD_MAPNAME},   {"timelimit", FIELD_TIMELIMIT},
    {"gamename", FIELD_GAMENAME},     {"hostname", FIELD_HOSTNAME}, {"anticheat", FIELD_ANTICHEAT},
    {"gamedate", FIELD_GAMEDATE},     {"version", FIELD_VERSION},
};

namespace {

constexpr size_t INFO_KEY_MAX_LENGTH = 63;

bool IsNarrowSpace(char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}

bool IsWideSpace(char16_t c) {
    return c == u' ' || (c >= u'\t' && c <= u'\r');
}

// The key is compared by at most its first 63 characters, ignoring ASCII case.
bool KeyEquals(const char* token, size_t length, const char* key) {
    if (length > INFO_KEY_MAX_LENGTH) {
        length = INFO_KEY_MAX_LENGTH;
    }
    if (length != std::strlen(key)) {
        return false;
    }
    for (size_t i = 0; i < length; ++i) {
        if (FoldAscii(token[i]) != key[i]) {
            return false;
        }
    }
    return true;
}

// Files every key and value pair of the info line into its slot; the last occurrence of a key wins, and a key
// without a value is ignored. The values point into `line`, whose values are terminated in place.
void ReadInfoLine(char* line, const char* (&values)[INFO_SLOT_COUNT]) {
    const char* cursor = line;
    InfoPairSpan pair{};
    while (NextInfoPair(cursor, pair) && pair.valueLength > 0) {
        // The cursor is already past the value's end, which is a backslash or the terminator.
        line[static_cast<size_t>(pair.value - line) + pair.valueLength] = 0;
        for (const InfoKey& known : InfoKeyTable) {
            if (KeyEquals(pair.key, pair.keyLength, known.key)) {
                values[known.field] = pair.value;
            }
        }
    }
}

void StoreText(AnsiDecoder decode, const char* value, const char16_t* absent, char16_t* dest, size_t size) {
    if (value) {
        decode(value, dest, size);
        return;
    }
    TextCopy(dest, size, absent);
}

// The next space-separated word (leading spaces skipped), or null when none is left. The cursor stops on the
// space that ended the word, or on the terminator.
const char* NextWord(char*& cursor) {
    while (*cursor == ' ') {
        ++cursor;
    }
    if (!*cursor) {
        return nullptr;
    }
    const char* word = cursor;
    while (*cursor && *cursor != ' ') {
        ++cursor;
    }
    return word;
}

// A player line: score, ping and the name. Returns false for a line with fewer than two words.
bool ReadPlayerLine(char* line, AnsiDecoder decode, PlayerRecord& player) {
    char* cursor = line;
    const char* score = NextWord(cursor);
    const char* ping = score ? NextWord(cursor) : nullptr;
    if (!ping) {
        return false;
    }
    // The name starts right after the one space that ended the ping.
    if (*cursor) {
        ++cursor;
    }
    while (*cursor == '"') {
        ++cursor;
    }
    char* name = cursor;
    while (*cursor && *cursor != '"') {
        ++cursor;
    }
    *cursor = 0;

    player.score = ParseDecimal(score);
    player.ping = ParseDecimal(ping);
    decode(name, player.name, PLAYER_NAME_SIZE);
    return true;
}

} // namespace

bool ReadLine(const char*& position, int& remaining, char (&line)[STATUS_LINE_SIZE]) {
    if (remaining <= 0) {
        return false;
    }
    size_t unread = static_cast<size_t>(remaining);
    const void* feed = std::memchr(position, '\n', unread);
    size_t length = feed ? static_cast<size_t>(static_cast<const char*>(feed) - position) : unread;
    size_t consumed = feed ? length + 1 : length;

    size_t copied = 0;
    while (copied < length && copied < STATUS_LINE_SIZE - 1 && position[copied]) {
        line[copied] = position[copied];
        ++copied;
    }
    line[copied] = 0;

    position += consumed;
    remaining -= static_cast<int>(consumed);
    return true;
}

int32_t ParseDecimal(const char* text) {
    while (IsNarrowSpace(*text)) {
        ++text;
    }
    bool negative = false;
    if (*text == '+' || *text == '-') {
        negative = *text == '-';
        ++text;
    }
    // Accumulated as a negative number, whose range reaches INT32_MIN, and saturated.
    int64_t value = 0;
    for (; *text >= '0' && *text <= '9'; ++text) {
        if (value > -(int64_t{1} << 32)) {
            value = value * 10 - (*text - '0');
        }
    }
    if (!negative) {
        value = -value;
    }
    if (value > INT32_MAX) {
        return INT32_MAX;
    }
    if (value < INT32_MIN) {
        return INT32_MIN;
    }
    return static_cast<int32_t>(value);
}

void CutGameDate(char16_t* text) {
    if (!text[0]) {
        return;
    }
    int wordStarts = 0;
    for (size_t i = 0; text[i + 1]; ++i) {
        if (IsWideSpace(text[i]) && !IsWideSpace(text[i + 1])) {
            if (++wordStarts == 3) {
                text[i] = 0;
                return;
            }
        }
    }
}

void ParseStatusText(const char* datagram, int length, AnsiDecoder decode, ServerRecord& record) {
    const char* position = datagram;
    int remaining = length;
    char line[STATUS_LINE_SIZE];

    ReadLine(position, remaining, line); // the header line says nothing we use

    const char* values[INFO_SLOT_COUNT] = {};
    char infoLine[STATUS_LINE_SIZE];
    record.infoText[0] = 0;
    if (ReadLine(position, remaining, infoLine)) {
        // Kept whole for the server info before the parse below cuts the line up.
        size_t kept = std::strlen(infoLine);
        if (kept > INFO_TEXT_SIZE - 1) {
            kept = INFO_TEXT_SIZE - 1;
        }
        std::memcpy(record.infoText, infoLine, kept);
        record.infoText[kept] = 0;
        ReadInfoLine(infoLine, values);
    }

    record.maxClients = values[FIELD_MAXCLIENTS] ? ParseDecimal(values[FIELD_MAXCLIENTS]) : 0;
    record.anticheat = values[FIELD_ANTICHEAT] ? ParseDecimal(values[FIELD_ANTICHEAT]) : 0;
    record.timelimit = values[FIELD_TIMELIMIT] ? ParseDecimal(values[FIELD_TIMELIMIT]) : 0;
    StoreText(decode, values[FIELD_MAPNAME], u"?", record.mapname, LONG_INFO_SIZE);
    StoreText(decode, values[FIELD_GAMENAME], GAMENAME_ABSENT, record.gamename, SHORT_INFO_SIZE);
    StoreText(decode, values[FIELD_VERSION], u"", record.version, LONG_INFO_SIZE);
    StoreText(decode, values[FIELD_HOSTNAME], u"", record.hostname, LONG_INFO_SIZE);
    if (values[FIELD_GAMEDATE]) {
        decode(values[FIELD_GAMEDATE], record.gamedate, SHORT_INFO_SIZE);
        CutGameDate(record.gamedate);
    }

    // Player lines beyond the 64th stored player are read and dropped.
    int32_t stored = 0;
    while (ReadLine(position, remaining, line)) {
        if (stored < MAX_PLAYERS && ReadPlayerLine(line, decode, record.players[stored])) {
            ++stored;
        }
    }
    record.playerCount = stored;
}
