// Where the settings are stored (platform/win32: the registry key of settings_key.h): read once at start-up, written
// when the main dialog is destroyed and when the user changes the favourites. User interface thread only; what the
// values are and how they are decoded is settings.h. Portable (no Win32).
#pragma once

#include "core/settings/settings.h"

// Reads the stored values over `settings` (see DecodeSettings). False, leaving `settings` as it was, when none
// are stored: a first start.
bool LoadSettings(Settings& settings);

// Writes every setting, creating their place if needed; a place that cannot be written is left as it
// is.
void SaveSettings(const Settings& settings);
