// Splitting a mod filter list text into (display name, game directory) pairs. Portable (no Win32).
//
// The text is lines separated by LF; a run of LFs separates like one and LFs at either end are ignored, so no line
// is empty. CR is an ordinary character. Lines pair up as a display name followed by its game directory.
#pragma once

#include <cstddef>

struct ModFilterPair {
    const char16_t* name;
    const char16_t* dir;
};

// Splits `text` in place (each separating LF becomes a terminator) and stores its first `capacity` pairs in
// `pairs`, in text order; `count` receives how many were stored. Pairs beyond the capacity are left out. Returns
// false, with count 0, when the text has an odd number of lines: such a text is rejected whole.
bool SplitModFilterText(char16_t* text, ModFilterPair* pairs, size_t capacity, size_t& count);
