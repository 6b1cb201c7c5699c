// The user's settings in the registry: read once at start-up, written once when the main dialog is destroyed.
// Win32 side, user interface thread only.
#pragma once

// The key under HKEY_CURRENT_USER.
constexpr const wchar_t* SETTINGS_KEY = L"SOFTWARE\\Corvell\\Skerrow";

// Fills the settings fields, the check boxes, the window placement and the mod filter box from the key; a missing
// key leaves the first-start state (both check boxes checked). buddyText and modFilterText are never null after it
// when the key exists; buddyText never is.
void LoadSettings();

// Writes every setting, creating the key if needed, then shuts down Windows Sockets, whether or not the key could
// be written.
void SaveSettings();
