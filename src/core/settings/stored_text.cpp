#include "core/settings/stored_text.h"

#include "core/text/little_endian.h"

bool DecodeStoredText(const unsigned char* data, size_t byteCount, char16_t* dest, size_t size) {
    size_t length = Utf16Length(data, byteCount);
    if (length >= size) {
        return false;
    }
    ReadUtf16(data, length, dest);
    dest[length] = 0;
    return true;
}
