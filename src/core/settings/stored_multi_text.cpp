#include "core/settings/stored_multi_text.h"

bool DecodeStoredMultiText(const StoredValue& value, std::vector<std::u16string>* strings) {
    if (value.type != STORED_TYPE_MULTI_TEXT) {
        return false;
    }
    strings->clear();
    std::u16string current;
    for (size_t i = 0; i + 1 < value.size; i += 2) {
        auto unit = static_cast<char16_t>(value.data[i] | value.data[i + 1] << 8);
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
    auto put = [&bytes](char16_t unit) {
        bytes.push_back(static_cast<unsigned char>(unit & 0xFF));
        bytes.push_back(static_cast<unsigned char>(unit >> 8));
    };
    for (const std::u16string& text : strings) {
        if (text.empty() || text.find(u'\0') != std::u16string::npos) {
            continue;
        }
        for (char16_t unit : text) {
            put(unit);
        }
        put(0);
    }
    // An empty list is two terminators, as a list of one empty string would be written.
    if (bytes.empty()) {
        put(0);
    }
    put(0);
    return bytes;
}
