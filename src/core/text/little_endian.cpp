#include "core/text/little_endian.h"

uint64_t ReadLittleEndian(const unsigned char* data, int bytes) {
    uint64_t value = 0;
    for (int i = bytes - 1; i >= 0; --i) {
        value = value << 8 | data[i];
    }
    return value;
}

void AppendLittleEndian(std::vector<unsigned char>& out, uint64_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) {
        out.push_back(static_cast<unsigned char>(value >> (8 * i)));
    }
}

void AppendUtf16(std::vector<unsigned char>& out, std::u16string_view text) {
    for (char16_t unit : text) {
        AppendLittleEndian(out, unit, 2);
    }
}

size_t Utf16Length(const unsigned char* data, size_t byteCount) {
    size_t units = byteCount / 2;
    size_t length = 0;
    while (length < units && ReadUtf16Unit(data + 2 * length) != 0) {
        ++length;
    }
    return length;
}

void ReadUtf16(const unsigned char* data, size_t units, char16_t* dest) {
    for (size_t i = 0; i < units; ++i) {
        dest[i] = ReadUtf16Unit(data + 2 * i);
    }
}
