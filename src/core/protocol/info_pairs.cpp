#include "core/protocol/info_pairs.h"

#include <cstring>

#include "core/protocol/server_record.h"

namespace {

constexpr char INFO_SEPARATOR = '\\';

// The run of characters from `cursor` up to the next backslash or the terminator; the cursor stops on what ended it.
size_t TakeToken(const char*& cursor) {
    const char* start = cursor;
    while (*cursor && *cursor != INFO_SEPARATOR) {
        ++cursor;
    }
    return static_cast<size_t>(cursor - start);
}

void SkipSeparators(const char*& cursor) {
    while (*cursor == INFO_SEPARATOR) {
        ++cursor;
    }
}

// Decodes `length` bytes of `text` through a terminated copy; no allocation but the result's.
std::u16string DecodeSpan(const char* text, size_t length, AnsiDecoder decode) {
    char narrow[INFO_TEXT_SIZE];
    if (length > INFO_TEXT_SIZE - 1) {
        length = INFO_TEXT_SIZE - 1;
    }
    std::memcpy(narrow, text, length);
    narrow[length] = 0;
    // No code page gives more UTF-16 code units than bytes.
    char16_t wide[INFO_TEXT_SIZE];
    decode(narrow, wide, INFO_TEXT_SIZE);
    return std::u16string(wide);
}

} // namespace

bool NextInfoPair(const char*& cursor, InfoPairSpan& pair) {
    SkipSeparators(cursor);
    if (!*cursor) {
        return false;
    }
    pair.key = cursor;
    pair.keyLength = TakeToken(cursor);
    SkipSeparators(cursor);
    pair.value = cursor;
    pair.valueLength = TakeToken(cursor);
    if (*cursor) {
        ++cursor;
    }
    return true;
}

std::vector<InfoPair> ReadInfoPairs(const char* infoText, AnsiDecoder decode) {
    std::vector<InfoPair> pairs;
    const char* cursor = infoText;
    InfoPairSpan span{};
    while (NextInfoPair(cursor, span)) {
        pairs.push_back(
            {DecodeSpan(span.key, span.keyLength, decode), DecodeSpan(span.value, span.valueLength, decode)});
    }
    return pairs;
}
