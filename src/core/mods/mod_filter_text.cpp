#include "core/mods/mod_filter_text.h"

namespace {

// The next line at or after `cursor`, terminated in place; null when only LFs are left.
char16_t* NextLine(char16_t*& cursor) {
    while (*cursor == u'\n') {
        ++cursor;
    }
    if (*cursor == 0) {
        return nullptr;
    }
    char16_t* line = cursor;
    while (*cursor != 0 && *cursor != u'\n') {
        ++cursor;
    }
    if (*cursor == u'\n') {
        *cursor++ = 0;
    }
    return line;
}

} // namespace

bool SplitModFilterText(char16_t* text, ModFilterPair* pairs, size_t capacity, size_t& count) {
    count = 0;
    char16_t* cursor = text;
    while (char16_t* name = NextLine(cursor)) {
        char16_t* dir = NextLine(cursor);
        if (!dir) {
            count = 0;
            return false;
        }
        if (count < capacity) {
            pairs[count++] = {name, dir};
        }
    }
    return true;
}
