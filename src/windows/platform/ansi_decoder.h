// Status replies' text is in the system's ANSI code page: the decoder the program hands its update runs. Win32
// side.
#pragma once

#include <cstddef>

// The system's ANSI code page to UTF-16, cut to `size` code units with the terminator, never splitting a
// surrogate pair.
void DecodeAnsi(const char* text, char16_t* dest, size_t size);
