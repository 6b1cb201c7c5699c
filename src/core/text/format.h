// The one way the program formats text: {fmt}'s ("{}" fields), for UTF-16 and for the Win32 side's wide text
// alike: fmt::format for a new string, FormatInto for a bounded buffer. Portable (no Win32); {fmt} is used as
// headers only.
#pragma once

#ifndef FMT_HEADER_ONLY
#define FMT_HEADER_ONLY
#endif
#include <fmt/xchar.h>

#include <cstddef>

// Formats into a buffer of `size` characters, terminator included: when `size` is above 0 the text is always
// terminated inside it, and what does not fit is cut. Returns false when the text was cut.
template <typename Char, typename... Args>
bool FormatInto(Char* dest, size_t size, const Char* format, const Args&... args) {
    if (size == 0) {
        return false;
    }
    auto written = fmt::format_to_n(dest, size - 1, format, args...);
    *written.out = 0;
    return written.size <= size - 1;
}
