// Little-endian numbers and UTF-16 text as the registry hands them over and the remembered list stores them.
// Portable (no Win32).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

// The number in `bytes` bytes (1 to 8), lowest first.
uint64_t ReadLittleEndian(const unsigned char* data, int bytes);
void AppendLittleEndian(std::vector<unsigned char>& out, uint64_t value, int bytes);

// UTF-16 little-endian: each code unit's low byte first.
inline char16_t ReadUtf16Unit(const unsigned char* data) {
    return static_cast<char16_t>(data[0] | data[1] << 8);
}
// The code units, without a terminator.
void AppendUtf16(std::vector<unsigned char>& out, std::u16string_view text);
// How many code units `byteCount` bytes hold before the first zero unit (an odd last byte is no unit).
size_t Utf16Length(const unsigned char* data, size_t byteCount);
// Copies `units` code units into `dest`, which must have room for them; adds no terminator.
void ReadUtf16(const unsigned char* data, size_t units, char16_t* dest);
