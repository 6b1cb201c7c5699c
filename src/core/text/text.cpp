#include "core/text/text.h"

namespace {

// Writes `source` into `dest` from `length` on, as much as fits with the terminator; false when anything was cut.
bool PutText(char16_t* dest, size_t size, size_t length, const char16_t* source) {
    if (size == 0) {
        return false;
    }
    size_t taken = 0;
    for (; source[taken] && length + 1 < size; ++taken) {
        dest[length++] = source[taken];
    }
    dest[length] = 0;
    return source[taken] == 0;
}

} // namespace

size_t TextLength(const char16_t* text) {
    size_t length = 0;
    while (text[length]) {
        ++length;
    }
    return length;
}

bool TextCopy(char16_t* dest, size_t size, const char16_t* source) {
    return PutText(dest, size, 0, source);
}

bool TextAppend(char16_t* dest, size_t size, const char16_t* source) {
    size_t length = 0;
    while (length < size && dest[length]) {
        ++length;
    }
    if (length == size) {
        // Not terminated within its size: terminate at the last unit, as a cut.
        if (size > 0) {
            dest[size - 1] = 0;
        }
        return false;
    }
    return PutText(dest, size, length, source);
}

const char16_t* PluralSuffix(int count) {
    return count == 1 ? u"" : u"s";
}
