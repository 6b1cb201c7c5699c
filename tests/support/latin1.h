// The native tests' and benchmarks' stand-in for the system's ANSI code page: each byte as the code unit of the same
// value, like Windows code page 1252 for ASCII and Latin-1 letters.
#pragma once

#include <cstddef>

inline void DecodeLatin1(const char* text, char16_t* dest, size_t size) {
    size_t i = 0;
    for (; i + 1 < size && text[i]; ++i) {
        dest[i] = static_cast<unsigned char>(text[i]);
    }
    if (size > 0) {
        dest[i] = 0;
    }
}
