// Decoding a text value as the registry hands it back: UTF-16 little-endian bytes, normally ending in a null
// character, but possibly without one or cut at an odd byte when something else wrote it. Portable (no Win32).
#pragma once

#include <cstddef>

// Stores into `dest` (`size` code units) the text up to the data's first null character or its end, always
// terminated; an odd last byte is dropped. Returns false, leaving `dest` untouched, when the text and its
// terminator do not fit.
bool DecodeStoredText(const unsigned char* data, size_t byteCount, char16_t* dest, size_t size);
