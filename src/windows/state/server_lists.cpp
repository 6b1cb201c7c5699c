#include "windows/state/server_lists.h"

namespace {

constexpr int FAVOURITE_MARK = 1;
constexpr int RECENT_MARK = 2;
constexpr int LAN_MARK = 4;
constexpr int WATCHED_MARK = 8;

} // namespace

int ServerMarks(const ServerLists& lists, const ServerRecord& record) {
    bool favourite = IsFavourite(lists.favourites, record.addr, record.port);
    bool recent = FindRecent(lists.recent, record.addr, record.port) != nullptr;
    bool lan = (record.sources.load(std::memory_order_relaxed) & SOURCE_LAN) != 0;
    bool watched = IsFavourite(lists.watched, record.addr, record.port);
    return (favourite ? FAVOURITE_MARK : 0) + (recent ? RECENT_MARK : 0) + (lan ? LAN_MARK : 0) +
           (watched ? WATCHED_MARK : 0);
}
