#include "core/settings/stored_value.h"

#include "core/settings/stored_text.h"

namespace {

uint32_t ReadLittleEndian32(const unsigned char* data) {
    return static_cast<uint32_t>(data[0]) | static_cast<uint32_t>(data[1]) << 8 | static_cast<uint32_t>(data[2]) << 16 |
           static_cast<uint32_t>(data[3]) << 24;
}

size_t WideTextLength(const StoredValue& value) {
    size_t units = value.size / 2;
    size_t length = 0;
    while (length < units && (value.data[2 * length] != 0 || value.data[2 * length + 1] != 0)) {
        ++length;
    }
    return length;
}

} // namespace

bool DecodeStoredNumber(const StoredValue& value, int32_t* number) {
    if (value.type != STORED_TYPE_NUMBER || value.size != 4) {
        return false;
    }
    *number = static_cast<int32_t>(ReadLittleEndian32(value.data));
    return true;
}

bool DecodeFixedText(const StoredValue& value, size_t bufferBytes, char16_t* field, size_t fieldSize) {
    if (value.type != STORED_TYPE_TEXT || value.size > bufferBytes) {
        return false;
    }
    return DecodeStoredText(value.data, value.size, field, fieldSize);
}

size_t StoredTextUnits(const StoredValue& value) {
    return WideTextLength(value) + 1;
}

size_t DecodeWideText(const StoredValue& value, char16_t* dest, size_t size) {
    if (size == 0) {
        return 0;
    }
    size_t length = WideTextLength(value);
    if (length >= size) {
        length = size - 1;
    }
    for (size_t i = 0; i < length; ++i) {
        dest[i] = static_cast<char16_t>(value.data[2 * i] | value.data[2 * i + 1] << 8);
    }
    dest[length] = 0;
    return length;
}

size_t DecodeAnsiText(const StoredValue& value, AnsiTextDecoder decode, char16_t* dest, size_t size) {
    if (size == 0) {
        return 0;
    }
    size_t bytes = 0;
    while (bytes < value.size && value.data[bytes] != 0) {
        ++bytes;
    }
    size_t length = bytes > 0 ? decode(reinterpret_cast<const char*>(value.data), bytes, dest, size - 1) : 0;
    if (length >= size) {
        length = size - 1;
    }
    dest[length] = 0;
    return length;
}

bool IsStoredPlacement(const StoredValue& value, uint32_t placementSize) {
    return value.type == STORED_TYPE_BINARY && value.size == placementSize && value.size >= 4 &&
           ReadLittleEndian32(value.data) == placementSize;
}
