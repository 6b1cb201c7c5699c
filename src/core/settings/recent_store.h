// The history of joined servers (core/settings/recent_servers.h) in the settings key's multi-string value "Recent
// Servers" (platform/win32). User interface thread only. Read at start-up; written whole at each join and removal, as one
// value, which the registry replaces at once: never half-written. Portable (no Win32).
#pragma once

#include <vector>

#include "core/settings/recent_servers.h"

// The stored history; none when the value is missing or is no multi-string, and of a damaged one what is sound.
std::vector<RecentServer> LoadRecentServers();

// Replaces the stored history, creating the key if need be; an empty history deletes the value. A key that cannot be
// written is left as it is.
void SaveRecentServers(const std::vector<RecentServer>& servers);
