// What the server info dialog writes of the history: the sample under the pointer and the graphs' hour labels.
// Portable (no Win32); the times are given in local time.
#pragma once

#include <string>

#include "core/history/server_history.h"
#include "core/settings/recent_servers.h"

// "21:35  ping 42–58 ms (mean 47), 7/16 players"; "21:35  ping 42 ms, 7/16 players" for one ping; "1 player" or
// "7 players" when the server gave no maxclients.
std::u16string HistorySampleText(const CivilTime& localStart, const HistoryBucket& bucket);
// "18:00"
std::u16string HourLabel(const CivilTime& local);
