// Any value the settings key can hold (any type, any size, texts and lists of texts with or without terminators, old
// 8-bit buddy lists, the history's lists) decodes without reading or writing outside its buffers: a sound result or
// the destination left as it was.
#include <cstdint>
#include <cstring>
#include <vector>

#include "core/settings/recent_servers.h"
#include "core/settings/stored_multi_text.h"
#include "core/settings/stored_value.h"
#include "require.h"

namespace {

constexpr size_t HEADER_BYTES = 3;
constexpr char16_t UNTOUCHED = u'#';

// Like a double-byte code page: a byte with its high bit set starts a two-byte character.
size_t DecodeDoubleByte(const char* text, size_t length, char16_t* dest, size_t size) {
    size_t written = 0;
    for (size_t i = 0; i < length && written < size; ++i, ++written) {
        auto byte = static_cast<unsigned char>(text[i]);
        Require(byte != 0);
        if (byte >= 0x80 && i + 1 < length) {
            ++i;
        }
        dest[written] = static_cast<char16_t>(byte);
    }
    return written;
}

// A terminated text with no null before its end, at most `limit` characters long.
void RequireText(const std::vector<char16_t>& text, size_t length, size_t limit) {
    Require(length < text.size() && length <= limit && text[length] == 0);
    for (size_t i = 0; i < length; ++i) {
        Require(text[i] != 0);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < HEADER_BYTES) {
        return 0;
    }
    // Copied into a buffer of exactly the value's size, so the sanitizer sees any read past it.
    std::vector<unsigned char> bytes(data + HEADER_BYTES, data + size);
    StoredValue value{static_cast<uint32_t>(data[1] % 8), bytes.data(), bytes.size()};
    size_t fieldSize = data[2] % 80 + 1;

    switch (data[0] % 6) {
    case 0: {
        int32_t number = 12345;
        bool stored = DecodeStoredNumber(value, &number);
        Require(stored == (value.type == STORED_TYPE_NUMBER && value.size == 4));
        if (stored) {
            int32_t expected;
            std::memcpy(&expected, value.data, 4);
            Require(number == expected);
        } else {
            Require(number == 12345);
        }
        break;
    }
    case 1: {
        std::vector<char16_t> field(fieldSize, UNTOUCHED);
        size_t bufferBytes = 2 * fieldSize;
        if (DecodeFixedText(value, bufferBytes, field.data(), fieldSize)) {
            Require(value.type == STORED_TYPE_TEXT && value.size <= bufferBytes);
            size_t length = 0;
            while (length < fieldSize && field[length] != 0) {
                ++length;
            }
            RequireText(field, length, value.size / 2);
        } else {
            for (char16_t unit : field) {
                Require(unit == UNTOUCHED);
            }
        }
        break;
    }
    case 2: {
        size_t units = StoredTextUnits(value);
        Require(units >= 1 && units <= value.size / 2 + 1);
        std::vector<char16_t> text(units, UNTOUCHED);
        RequireText(text, DecodeWideText(value, text.data(), units), value.size / 2);
        break;
    }
    case 3: {
        std::vector<char16_t> text(value.size + 1, UNTOUCHED);
        RequireText(text, DecodeAnsiText(value, DecodeDoubleByte, text.data(), text.size()), value.size);
        break;
    }
    case 4: {
        bool usable = IsStoredPlacement(value, 44);
        Require(!usable || (value.type == STORED_TYPE_BINARY && value.size == 44 && value.data[0] == 44 &&
                            value.data[1] == 0 && value.data[2] == 0 && value.data[3] == 0));
        break;
    }
    case 5: {
        // Strings read back are whole and non-empty, and writing them and reading that again gives them back.
        std::vector<std::u16string> strings = {u"untouched"};
        if (!DecodeStoredMultiText(value, &strings)) {
            Require(value.type != STORED_TYPE_MULTI_TEXT && strings.size() == 1 && strings[0] == u"untouched");
            break;
        }
        size_t units = 0;
        for (const std::u16string& text : strings) {
            Require(!text.empty() && text.find(u'\0') == std::u16string::npos);
            units += text.size() + 1;
        }
        Require(units <= value.size / 2 + 1);
        std::vector<unsigned char> written = EncodeStoredMultiText(strings);
        std::vector<std::u16string> again;
        Require(DecodeStoredMultiText({STORED_TYPE_MULTI_TEXT, written.data(), written.size()}, &again));
        Require(again == strings);
        // Read as the history: what it keeps is at most RECENT_SERVERS_MAX of the strings, in their order, each of
        // them exactly as the history writes it back; the rest is counted as left out.
        std::vector<RecentServer> recent;
        size_t leftOut = ParseRecentServers(strings, &recent);
        Require(recent.size() <= RECENT_SERVERS_MAX && recent.size() + leftOut == strings.size());
        size_t next = 0;
        for (const std::u16string& kept : FormatRecentServers(recent)) {
            while (next < strings.size() && strings[next] != kept) {
                ++next;
            }
            Require(next++ < strings.size());
        }
        break;
    }
    }
    return 0;
}
