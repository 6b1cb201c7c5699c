// The one place where UTF-16 text of the portable code meets the Win32 API's wchar_t. Win32 side only.
#pragma once

static_assert(sizeof(wchar_t) == sizeof(char16_t), "Win32 wide text is UTF-16");

inline wchar_t* AsWide(char16_t* text) {
    return reinterpret_cast<wchar_t*>(text);
}
inline const wchar_t* AsWide(const char16_t* text) {
    return reinterpret_cast<const wchar_t*>(text);
}
inline char16_t* AsU16(wchar_t* text) {
    return reinterpret_cast<char16_t*>(text);
}
inline const char16_t* AsU16(const wchar_t* text) {
    return reinterpret_cast<const char16_t*>(text);
}
