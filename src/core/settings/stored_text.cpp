#include "core/settings/stored_text.h"

bool DecodeStoredText(const unsigned char* data, size_t byteCount, char16_t* dest, size_t size) {
    size_t units = byteCount / 2;
    size_t length = 0;
    while (length < units && (data[2 * length] != 0 || data[2 * length + 1] != 0)) {
        ++length;
    }
    if (length >= size) {
        return false;
    }
    for (size_t i = 0; i < length; ++i) {
        dest[i] = static_cast<char16_t>(data[2 * i] | data[2 * i + 1] << 8);
    }
    dest[length] = 0;
    return true;
}
