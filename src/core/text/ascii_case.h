// Case-insensitive comparison as the program and the master service do it for mod names, host names and info keys:
// only A to Z fold, every other character stands. Portable (no Win32), for narrow and UTF-16 text alike.
#pragma once

#include <string>
#include <string_view>

// A to Z as a to z; every other character as it is.
template <typename Char> constexpr Char FoldAscii(Char c) {
    return c >= Char('A') && c <= Char('Z') ? static_cast<Char>(c - Char('A') + Char('a')) : c;
}

// Whether the texts are equal once folded so.
template <typename Char> bool EqualsIgnoringAsciiCase(std::basic_string_view<Char> a, std::basic_string_view<Char> b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (size_t i = 0; i < a.size(); ++i) {
        if (FoldAscii(a[i]) != FoldAscii(b[i])) {
            return false;
        }
    }
    return true;
}

inline bool EqualsIgnoringAsciiCase(std::u16string_view a, std::u16string_view b) {
    return EqualsIgnoringAsciiCase<char16_t>(a, b);
}

inline bool EqualsIgnoringAsciiCase(std::string_view a, std::string_view b) {
    return EqualsIgnoringAsciiCase<char>(a, b);
}

// The text with A to Z folded.
template <typename Char> std::basic_string<Char> FoldedAscii(std::basic_string_view<Char> text) {
    std::basic_string<Char> folded(text);
    for (Char& c : folded) {
        c = FoldAscii(c);
    }
    return folded;
}
