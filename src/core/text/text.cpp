#include "core/text/text.h"

size_t TextLength(const char16_t* text) {
    size_t length = 0;
    while (text[length]) {
        ++length;
    }
    return length;
}

bool TextCopy(char16_t* dest, size_t size, const char16_t* source) {
    if (size == 0) {
        return false;
    }
    size_t length = 0;
    for (; source[length] && length + 1 < size; ++length) {
        dest[length] = source[length];
    }
    dest[length] = 0;
    return source[length] == 0;
}

const char16_t* PluralSuffix(int count) {
    return count == 1 ? u"" : u"s";
}
