// Text from game servers and from older settings is 8-bit, in the system's ANSI code page: the portable code takes
// the decoder as an argument and the Win32 side passes one built on MultiByteToWideChar.
#pragma once

#include <cstddef>

// Converts terminated 8-bit text into `dest` (`size` code units, terminator included), cut to fit without splitting
// a surrogate pair, and always terminated.
using AnsiDecoder = void (*)(const char* text, char16_t* dest, size_t size);

// The system's ANSI code page to UTF-16 (platform/win32): the decoder the program hands its update runs and reads
// stored servers' info with. An AnsiDecoder.
void DecodeAnsi(const char* text, char16_t* dest, size_t size);
