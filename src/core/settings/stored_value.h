// Decoding the values the settings are read from, as the registry hands them back: any type, any size, texts with
// or without their terminator. Each decoder takes the value whole and either stores a sound result or leaves its
// destination as it was. Portable (no Win32).
#pragma once

#include <cstddef>
#include <cstdint>

// Value types, numbered as the registry numbers them.
constexpr uint32_t STORED_TYPE_TEXT = 1;   // REG_SZ
constexpr uint32_t STORED_TYPE_BINARY = 3; // REG_BINARY
constexpr uint32_t STORED_TYPE_NUMBER = 4; // REG_DWORD

struct StoredValue {
    uint32_t type;
    const unsigned char* data;
    size_t size; // bytes
};

// A number only from a number value of exactly four bytes (little-endian); anything else would be misread, so it
// leaves `number` alone and returns false.
bool DecodeStoredNumber(const StoredValue& value, int32_t* number);

// A text value for a fixed field that is read with a buffer of `bufferBytes`. A value that is not text, that the
// buffer cannot take, or whose text does not fit the field leaves the field alone and returns false.
bool DecodeFixedText(const StoredValue& value, size_t bufferBytes, char16_t* field, size_t fieldSize);

// Code units a text value of any size needs: its characters up to the first null character or its end (an odd last
// byte is not a character) and a terminator.
size_t StoredTextUnits(const StoredValue& value);

// Copies that text into `dest` (`size` code units, at least StoredTextUnits), terminated. Returns its length.
size_t DecodeWideText(const StoredValue& value, char16_t* dest, size_t size);

// Turns `length` 8-bit characters (no null among them) into at most `size` code units; returns how many it wrote.
using AnsiTextDecoder = size_t (*)(const char* text, size_t length, char16_t* dest, size_t size);

// An 8-bit text value, as older releases stored the buddy list: the bytes up to the first zero byte or the end,
// decoded into `dest` (`size` code units, at least the value's size + 1), terminated. Returns its length.
size_t DecodeAnsiText(const StoredValue& value, AnsiTextDecoder decode, char16_t* dest, size_t size);

// Whether a stored window placement can be used: binary, exactly `placementSize` bytes, and its leading length
// field saying so.
bool IsStoredPlacement(const StoredValue& value, uint32_t placementSize);
