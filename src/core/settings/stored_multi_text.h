// Multi-string values as the registry hands them back (REG_MULTI_SZ): UTF-16 little-endian strings, each ended by a
// null character, the list ended by an empty string. Another program may have written one without its final
// terminators or cut at an odd byte. Portable (no Win32); the master list and the favourites are stored so.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/settings/stored_value.h"

constexpr uint32_t STORED_TYPE_MULTI_TEXT = 7; // REG_MULTI_SZ

// The value's strings in order, up to the first empty one or the data's end (a last string without its terminator
// counts; an odd last byte does not). Replaces `strings`. A value of another type returns false and leaves them alone.
bool DecodeStoredMultiText(const StoredValue& value, std::vector<std::u16string>* strings);

// The bytes to store for the strings: each with its terminator, then the list's terminator (two for no strings). An
// empty string or one holding a null character cannot be stored as it is (it would end the list or split) and is
// left out.
std::vector<unsigned char> EncodeStoredMultiText(const std::vector<std::u16string>& strings);
