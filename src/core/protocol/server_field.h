// The numbering of a server's attributes. Portable (no Win32).
//
// Values 0 to 8 are the slots the reply parser fills from the info line's keys; 9 to 11 only name what a server
// list column shows. The values are stable: the column table and stored sort settings refer to them.
#pragma once

#include <cstdint>

enum ServerField : int32_t {
    FIELD_MAXCLIENTS = 0,
    FIELD_MAPNAME = 1,
    FIELD_TIMELIMIT = 2,
    FIELD_NONE = 3, // no key fills it and no column shows it
    FIELD_GAMENAME = 4,
    FIELD_HOSTNAME = 5,
    FIELD_ANTICHEAT = 6,
    FIELD_GAMEDATE = 7,
    FIELD_VERSION = 8,
    FIELD_ADDRESS = 9,
    FIELD_PLAYERS = 10,
    FIELD_PING = 11,
};

// How many of the values are info slots (0 to 8).
constexpr int INFO_SLOT_COUNT = 9;
