// Bounded UTF-16 text helpers, portable (no Win32).
//
// Every function takes the destination's size in code units, terminator included. When the size is above 0 the
// result is always terminated inside the destination; text that does not fit is cut, and the function then
// returns false. Callers that accept a cut result simply ignore the return value.
#pragma once

#include <cstddef>
#include <string_view>

size_t TextLength(const char16_t* text);

// Copies `source` into `dest` (`size` code units, terminator included), as much as fits, always terminated; false
// when anything was cut, or there is no room at all.
bool TextCopy(char16_t* dest, size_t size, const char16_t* source);

// The plural suffix of our counts: empty for exactly one, "s" for every other number (also 0 and negatives).
const char16_t* PluralSuffix(int count);
