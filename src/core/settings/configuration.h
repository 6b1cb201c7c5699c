// The configuration: what the user sets in the configuration dialog, kept as one value. Portable (no Win32).
//
// It is made usable once, where it enters the program (read from the registry, or edited in the dialog); the
// settings, the dialog and each update run's snapshot all take it as it is from then on.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/protocol/master_entry.h"
#include "core/settings/build_defaults.h"

constexpr int PATH_TEXT_SIZE = 260;

struct Configuration {
    char16_t gameDir[PATH_TEXT_SIZE]; // ends in a backslash when set; empty until the game is found
    char16_t gameExe[PATH_TEXT_SIZE]; // the game's executable file name
    std::u16string buddyText;         // the buddy list as typed, one name or pattern per line
    int32_t packetsPerSecond;         // status queries a second; above 1000, no pacing at all
    int32_t goodPing;                 // the ping dot's thresholds, in milliseconds
    int32_t mediumPing;
    std::vector<MasterEntry> masters; // the masters the user set, in order; none: the build's default
    bool searchLan = true;            // each run also looks for servers on the local networks
    // What the program does while the user is not looking. Each is off (history: on) until the user changes it.
    int32_t refreshMinutes = 0;  // an update run of its own this often; 0: never, else at least MIN_REFRESH_MINUTES
    bool keepInTray = false;     // the close box hides the window to the notification area instead of ending
    bool buddyAlerts = false;    // an alert when a buddy appears on a server
    bool keepHistory = true;     // each reply's ping and players kept as the server's history, in a file
};

// The least interval of the program's own runs: the masters' lists are shared by every player who asks.
constexpr int32_t MIN_REFRESH_MINUTES = 5;
// The longest: a day.
constexpr int32_t MAX_REFRESH_MINUTES = 24 * 60;

// The build's first-start rate: 10 in development and test builds, a release's from its preset.
constexpr int32_t DEFAULT_PACKETS_PER_SECOND = SKERROW_DEFAULT_PACKETS_PER_SECOND;
constexpr int32_t DEFAULT_GOOD_PING = 100;
constexpr int32_t DEFAULT_MEDIUM_PING = 200;

// An empty executable name becomes "quake2.exe"; a rate or threshold of 0 (never set, or a field left empty or
// not a number) takes its default, and so does a threshold below 0; a rate below 0 becomes 1 query a second, the
// slowest the program paces. A refresh interval below 0 is none, one from 1 to MIN_REFRESH_MINUTES - 1 becomes
// MIN_REFRESH_MINUTES, one above MAX_REFRESH_MINUTES that. Texts are terminated within their arrays.
void ValidateConfiguration(Configuration& config);

// The build's default masters (SKERROW_MASTERS, else the built-in web master alone).
std::vector<MasterEntry> DefaultMasters();

// The masters a run asks: the user's, or the build's default when the user has set none.
std::vector<MasterEntry> MastersToAsk(const Configuration& config);
