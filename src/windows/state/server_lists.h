// The user's own lists of servers: the favourites (changed from the server list's menu, stored with the settings), the
// history of servers joined (stored on its own), both queried in every run, and the servers watched. Win32 side; user interface
// thread only.
#pragma once

#include <vector>

#include "core/protocol/server_record.h"
#include "core/settings/favourites.h"
#include "core/settings/recent_servers.h"

struct ServerLists {
    std::vector<FavouriteServer> favourites;
    std::vector<RecentServer> recent;
    std::vector<FavouriteServer> watched; // stored with the settings, as the favourites are
};

// The marks a server's row carries, as a sum: 1 for a favourite, 2 for a server played on lately, 4 for one that
// answered on the LAN, 8 for one watched (0: none). Each mix has an image of its own: the server list's overlay of
// that number.
int ServerMarks(const ServerLists& lists, const ServerRecord& record);
