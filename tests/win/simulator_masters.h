// The tests' masters: the local simulator's web service. A build whose own default masters are elsewhere (a release,
// whose tests run against the very exe it ships) is pointed at the simulator through the registry, as a user sets
// "Master Servers" in the configuration dialog.
#pragma once

#include <windows.h>

#include <string>

#include "core/settings/build_defaults.h"

// Whether the test runs inside a LAN check's network namespace (scripts/lib/lan-check), whose network is the test's
// own: the one place the program's LAN search may broadcast.
inline bool OnALanOfItsOwn() {
    return GetEnvironmentVariableW(L"SKERROW_LAN_NETWORK", nullptr, 0) > 0;
}

inline bool BuildAsksTheSimulator() {
    return std::u16string(SKERROW_DEFAULT_MASTERS) == u"http://127.0.0.1";
}

// Why a test does not run in a build that asks elsewhere: its settings key is never missing, as a first start's is.
constexpr const char* NEEDS_A_FIRST_START = "a first start: this build's tests start with \"Master Servers\" set";

// Deletes every setting under `key`, as a first start finds it. A build that asks elsewhere gets the simulator as
// its masters, and both Full and Empty boxes checked as a first start shows them.
inline void ForgetSettings(const wchar_t* key) {
    RegDeleteTreeW(HKEY_CURRENT_USER, key);
    if (!BuildAsksTheSimulator()) {
        static const wchar_t simulator[] = L"http://127.0.0.1\0";
        RegSetKeyValueW(HKEY_CURRENT_USER, key, L"Master Servers", REG_MULTI_SZ, simulator, sizeof simulator);
        const DWORD checked = 1;
        RegSetKeyValueW(HKEY_CURRENT_USER, key, L"Show Empty Servers", REG_DWORD, &checked, sizeof checked);
        RegSetKeyValueW(HKEY_CURRENT_USER, key, L"Show Full Servers", REG_DWORD, &checked, sizeof checked);
    }
}
