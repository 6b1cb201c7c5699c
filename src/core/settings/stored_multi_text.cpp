#include "core/settings/stored_multi_text.h"

#include "core/text/little_endian.h"

bool DecodeStoredMultiText(const StoredValue& value, std::vector<std::u16string>* strings) {
    if (value.type != STORED_TYPE_MULTI_TEXT) {
        return false;
    }
    strings->clear();
    std::u16string current;
    for (size_t i = 0; i + 1 < value.size; i += 2) {
        char16_t unit = ReadUtf16Unit(value.data + i);
        if (unit != 0) {
            current += unit;
            continue;
        }
        if (current.empty()) {
            return true;
        }
        strings->push_back(std::move(current));
        current.clear();
    }
    if (!current.empty()) {
        strings->push_back(std::move(current));
    }
    return true;
}

std::vector<unsigned char> EncodeStoredMultiText(const std::vector<std::u16string>& strings) {
    std::vector<unsigned char> bytes;
    for (const std::u16string& text : strings) {
        if (text.empty() || text.find(u'\0') != std::u16string::npos) {
            continue;
        }
        AppendUtf16(bytes, text);
        AppendLittleEndian(bytes, 0, 2);
    }
    // An empty list is two terminators, as a list of one empty string would be written.
    if (bytes.empty()) {
        AppendLittleEndian(bytes, 0, 2);
    }
    AppendLittleEndian(bytes, 0, 2);
    return bytes;
}
