#include "core/settings/recent_store.h"

#include <windows.h>

#include "core/settings/stored_multi_text.h"
#include "platform/win32/settings_key.h"

namespace {

constexpr const wchar_t* RECENT_VALUE = L"Recent Servers";

} // namespace

std::vector<RecentServer> LoadRecentServers() {
    std::vector<RecentServer> servers;
    DWORD type = 0;
    DWORD size = 0;
    if (RegGetValueW(HKEY_CURRENT_USER, SETTINGS_KEY, RECENT_VALUE, RRF_RT_ANY | RRF_NOEXPAND, &type, nullptr, &size) !=
        ERROR_SUCCESS) {
        return servers;
    }
    std::vector<unsigned char> bytes(size);
    if (RegGetValueW(HKEY_CURRENT_USER, SETTINGS_KEY, RECENT_VALUE, RRF_RT_ANY | RRF_NOEXPAND, &type, bytes.data(),
                     &size) != ERROR_SUCCESS ||
        size > bytes.size()) {
        return servers;
    }
    std::vector<std::u16string> strings;
    if (DecodeStoredMultiText({type, bytes.data(), size}, &strings)) {
        ParseRecentServers(strings, &servers);
    }
    return servers;
}

void SaveRecentServers(const std::vector<RecentServer>& servers) {
    HKEY key;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, SETTINGS_KEY, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_WRITE, nullptr, &key,
                        nullptr) != ERROR_SUCCESS) {
        return;
    }
    if (servers.empty()) {
        RegDeleteValueW(key, RECENT_VALUE);
    } else {
        std::vector<unsigned char> bytes = EncodeStoredMultiText(FormatRecentServers(servers));
        RegSetValueExW(key, RECENT_VALUE, 0, REG_MULTI_SZ, bytes.data(), static_cast<DWORD>(bytes.size()));
    }
    RegCloseKey(key);
}
