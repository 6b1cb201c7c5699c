#include "core/settings/settings_store.h"

#include <windows.h>

#include "platform/win32/settings_key.h"
#include "platform/win32/wide.h"

namespace {

bool LookUpValue(void* context, const char16_t* name, uint32_t& type, std::vector<unsigned char>& bytes) {
    HKEY key = static_cast<HKEY>(context);
    DWORD valueType = 0;
    DWORD size = 0;
    if (RegQueryValueExW(key, AsWide(name), nullptr, &valueType, nullptr, &size) != ERROR_SUCCESS) {
        return false;
    }
    bytes.assign(size, 0);
    DWORD read = size;
    if (RegQueryValueExW(key, AsWide(name), nullptr, &valueType, bytes.data(), &read) != ERROR_SUCCESS || read > size) {
        return false;
    }
    bytes.resize(read);
    type = valueType;
    return true;
}

size_t DecodeAnsiCodePage(const char* text, size_t length, char16_t* dest, size_t size) {
    int written = MultiByteToWideChar(CP_ACP, 0, text, static_cast<int>(length), AsWide(dest), static_cast<int>(size));
    return written > 0 ? static_cast<size_t>(written) : 0;
}

void WriteValue(void* context, const char16_t* name, uint32_t type, const unsigned char* data, size_t size) {
    if (!data) {
        // Nothing to delete is no change either.
        RegDeleteValueW(static_cast<HKEY>(context), AsWide(name));
        return;
    }
    RegSetValueExW(static_cast<HKEY>(context), AsWide(name), 0, type, data, static_cast<DWORD>(size));
}

} // namespace

bool LoadSettings(Settings& settings) {
    HKEY key;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, SETTINGS_KEY, 0, KEY_READ, &key) != ERROR_SUCCESS) {
        return false;
    }
    DecodeSettings(LookUpValue, key, DecodeAnsiCodePage, settings);
    RegCloseKey(key);
    return true;
}

void SaveSettings(const Settings& settings) {
    HKEY key;
    // Created if it is not there yet, then opened for writing like any existing key.
    if (RegCreateKeyExW(HKEY_CURRENT_USER, SETTINGS_KEY, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_WRITE, nullptr, &key,
                        nullptr) == ERROR_SUCCESS) {
        RegCloseKey(key);
    }
    if (RegOpenKeyExW(HKEY_CURRENT_USER, SETTINGS_KEY, 0, KEY_WRITE, &key) == ERROR_SUCCESS) {
        EncodeSettings(settings, WriteValue, key);
        RegCloseKey(key);
    }
}
