// A moment in the user's local time, by the time zone's rule for that day. Win32 side.
#pragma once

#include <cstdint>

#include "core/settings/recent_servers.h"

// The local date and time of `seconds` since 1970-01-01 00:00 UTC; the UTC one when the system cannot tell.
CivilTime LocalCivilTime(int64_t seconds);
