// The registry key that holds the settings and the history of joined servers, under HKEY_CURRENT_USER.
#pragma once

constexpr const wchar_t* SETTINGS_KEY = L"SOFTWARE\\Corvell\\Skerrow";
