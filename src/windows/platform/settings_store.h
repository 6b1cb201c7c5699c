// The settings' registry key: read once at start-up, written when the main dialog is destroyed and when the user
// changes the favourites. Win32 side, user interface thread only; what the values are and how they are decoded is
// app/settings.
#pragma once

#include "core/settings/settings.h"

// The key under HKEY_CURRENT_USER.
constexpr const wchar_t* SETTINGS_KEY = L"SOFTWARE\\Corvell\\Skerrow";

// Reads the key's values over `settings` (see DecodeSettings). False, leaving `settings` as it was, when there is
// no key: a first start.
bool LoadSettings(Settings& settings);

// Writes every setting, creating the key if needed; a key that cannot be written is left as it is.
void SaveSettings(const Settings& settings);
