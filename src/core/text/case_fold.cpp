#include "core/text/case_fold.h"

#include <algorithm>
#include <iterator>
#include <string>

namespace {

struct Folding {
    char32_t from;
    char32_t to;
};

// In code point order, as CaseFolding.txt lists them.
constexpr Folding FOLDINGS[] = {
#include "core/text/case_folding_table.inc"
};

bool IsHighSurrogate(char16_t c) {
    return c >= 0xD800 && c <= 0xDBFF;
}

bool IsLowSurrogate(char16_t c) {
    return c >= 0xDC00 && c <= 0xDFFF;
}

} // namespace

char32_t FoldCase(char32_t c) {
    if (c < 0x80) {
        return c >= U'A' && c <= U'Z' ? c - U'A' + U'a' : c;
    }
    const Folding* found =
        std::lower_bound(std::begin(FOLDINGS), std::end(FOLDINGS), c,
                         [](const Folding& folding, char32_t point) { return folding.from < point; });
    return found != std::end(FOLDINGS) && found->from == c ? found->to : c;
}

void AppendFolded(std::u16string_view text, std::u16string& out) {
    // Written in place: a folded code point takes as many units as the one it folds in every table Unicode has
    // published; one that would take more is kept as it is.
    size_t start = out.size();
    out.resize(start + text.size());
    char16_t* dest = out.data() + start;
    for (size_t i = 0; i < text.size(); ++i) {
        char16_t unit = text[i];
        if (unit < 0x80) {
            *dest++ = unit >= u'A' && unit <= u'Z' ? static_cast<char16_t>(unit - u'A' + u'a') : unit;
        } else if (IsHighSurrogate(unit) && i + 1 < text.size() && IsLowSurrogate(text[i + 1])) {
            char32_t point = 0x10000 + ((char32_t{unit} - 0xD800) << 10) + (char32_t{text[i + 1]} - 0xDC00);
            char32_t folded = FoldCase(point);
            if (folded < 0x10000) {
                *dest++ = static_cast<char16_t>(folded);
            } else {
                *dest++ = static_cast<char16_t>(0xD800 + ((folded - 0x10000) >> 10));
                *dest++ = static_cast<char16_t>(0xDC00 + ((folded - 0x10000) & 0x3FF));
            }
            ++i;
        } else {
            char32_t folded = FoldCase(unit);
            *dest++ = folded < 0x10000 ? static_cast<char16_t>(folded) : unit;
        }
    }
    out.resize(static_cast<size_t>(dest - out.data()));
}
