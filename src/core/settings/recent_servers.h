// The servers the user played on: the last RECENT_SERVERS_MAX joined, newest first, each with when it was joined.
// Queried in every run like the favourites. Stored as the multi-string value "Recent Servers", one string per server:
// "a.b.c.d:port YYYY-MM-DDTHH:MM:SSZ" (the join's time in UTC). Portable (no Win32); the user interface thread owns
// the list.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

constexpr size_t RECENT_SERVERS_MAX = 20;

struct RecentServer {
    uint32_t addr;    // network byte order
    uint16_t port;    // host byte order, 1 to 65535
    int64_t joinedAt; // seconds since 1970-01-01 00:00 UTC
};

// A date and time of day, as a calendar shows it.
struct CivilTime {
    int year, month, day, hour, minute, second;
};

// The UTC time of a count of seconds since 1970 (none before it); and back, false for a time that is no real one or
// lies outside the years 1970 to 9999.
CivilTime CivilFromSeconds(int64_t seconds);
bool SecondsFromCivil(const CivilTime& time, int64_t* seconds);

// The stored strings, in order: a string that is not exactly one server's, a server named before and every string
// past the RECENT_SERVERS_MAX kept are left out, never guessed at, and the rest kept. Returns how many were left out.
size_t ParseRecentServers(const std::vector<std::u16string>& strings, std::vector<RecentServer>* servers);
std::vector<std::u16string> FormatRecentServers(const std::vector<RecentServer>& servers);

// The server joined at `at`: first in the list, once, which keeps the newest RECENT_SERVERS_MAX. False for port 0.
bool NoteJoin(std::vector<RecentServer>* servers, uint32_t addr, uint16_t port, int64_t at);
// Removes the server; false when it was not there.
bool ForgetRecent(std::vector<RecentServer>* servers, uint32_t addr, uint16_t port);
// The server's entry, or null.
const RecentServer* FindRecent(const std::vector<RecentServer>& servers, uint32_t addr, uint16_t port);

// "Last joined 2026-12-09 13:48": what the server info says of a recent server, given the join's local time.
std::u16string LastJoinedText(const CivilTime& local);
