#include "core/settings/stored_value.h"

#include "core/settings/stored_text.h"
#include "core/text/little_endian.h"

bool DecodeStoredNumber(const StoredValue& value, int32_t* number) {
    if (value.type != STORED_TYPE_NUMBER || value.size != 4) {
        return false;
    }
    *number = static_cast<int32_t>(ReadLittleEndian(value.data, 4));
    return true;
}

bool DecodeFixedText(const StoredValue& value, size_t bufferBytes, char16_t* field, size_t fieldSize) {
    if (value.type != STORED_TYPE_TEXT || value.size > bufferBytes) {
        return false;
    }
    return DecodeStoredText(value.data, value.size, field, fieldSize);
}

size_t StoredTextUnits(const StoredValue& value) {
    return Utf16Length(value.data, value.size) + 1;
}

size_t DecodeWideText(const StoredValue& value, char16_t* dest, size_t size) {
    if (size == 0) {
        return 0;
    }
    size_t length = Utf16Length(value.data, value.size);
    if (length >= size) {
        length = size - 1;
    }
    ReadUtf16(value.data, length, dest);
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
           ReadLittleEndian(value.data, 4) == placementSize;
}
