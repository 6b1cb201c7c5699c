// Bounded UTF-16 text helpers, portable (no Win32).
//
// Every function takes the destination's size in code units, terminator included. When the size is above 0 the
// result is always terminated inside the destination; text that does not fit is cut, and the function then
// returns false. Callers that accept a cut result simply ignore the return value.
#pragma once

#include <cstdarg>
#include <cstddef>
#include <string_view>

size_t TextLength(const char16_t* text);

bool TextCopy(char16_t* dest, size_t size, const char16_t* source);
bool TextAppend(char16_t* dest, size_t size, const char16_t* source);

// printf-style formatting with the conversions our messages use, following the Win32 wide-printf convention:
// %d and %i (int), %u (unsigned), %s (UTF-16 text), %S (narrow 8-bit text, each byte widened as Latin-1),
// %c (a UTF-16 code unit passed as int) and %%. A null text argument prints "(null)". Any other conversion is
// copied literally.
bool TextFormat(char16_t* dest, size_t size, const char16_t* format, ...);
bool TextFormatV(char16_t* dest, size_t size, const char16_t* format, va_list args);



// The plural suffix of our counts: empty for exactly one, "s" for every other number (also 0 and negatives).
const char16_t* PluralSuffix(int count);
