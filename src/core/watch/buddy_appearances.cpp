#include "core/watch/buddy_appearances.h"

#include <algorithm>

namespace {

uint64_t ServerKey(uint32_t addr, uint16_t port) {
    return (static_cast<uint64_t>(addr) << 16) | port;
}

// The first of the record's players that the entry matches; -1 for none.
int MatchingPlayer(const ServerRecord& record, const BuddyName& entry) {
    int count = std::clamp(record.playerCount, 0, MAX_PLAYERS);
    for (int i = 0; i < count; ++i) {
        if (MatchesBuddy(record.players[i].name, &entry, 1)) {
            return i;
        }
    }
    return -1;
}

} // namespace

std::vector<BuddySighting> BuddyAppearances::TakeReplies(const std::vector<const ServerRecord*>& replies,
                                                         const BuddyName* entries, size_t count) {
    std::vector<BuddySighting> began;
    for (const ServerRecord* record : replies) {
        TakeReply(*record, entries, count, began);
    }
    return began;
}

void BuddyAppearances::Clear() {
    servers_.clear();
    tracked_ = 0;
}

void BuddyAppearances::TakeReply(const ServerRecord& record, const BuddyName* entries, size_t count,
                                 std::vector<BuddySighting>& began) {
    uint64_t key = ServerKey(record.addr, record.port);
    auto found = servers_.find(key);
    std::vector<std::u16string> before;
    if (found != servers_.end()) {
        before = std::move(found->second.entries);
        tracked_ -= before.size();
        servers_.erase(found);
    }
    std::vector<std::u16string> now;
    std::vector<int> toldOf; // the players this reply's sightings name
    for (size_t i = 0; i < count && now.size() < capacity_; ++i) {
        std::u16string entry = entries[i].text;
        if (std::find(now.begin(), now.end(), entry) != now.end()) {
            continue; // a duplicate line of the buddy list
        }
        int player = MatchingPlayer(record, entries[i]);
        if (player < 0) {
            continue;
        }
        now.push_back(entry);
        bool wasThere = std::find(before.begin(), before.end(), entry) != before.end();
        if (!wasThere && std::find(toldOf.begin(), toldOf.end(), player) == toldOf.end()) {
            toldOf.push_back(player);
            began.push_back({record.addr, record.port, record.players[player].name, record.hostname, record.mapname,
                             record.playerCount, record.maxClients});
        }
    }
    if (now.empty()) {
        return; // every appearance on the server, if any, ends here
    }
    tracked_ += now.size();
    servers_[key] = Server{std::move(now), ++replies_};
    while (tracked_ > capacity_ && ForgetOldestBeside(key)) {
    }
}

bool BuddyAppearances::ForgetOldestBeside(uint64_t keep) {
    auto oldest = servers_.end();
    for (auto it = servers_.begin(); it != servers_.end(); ++it) {
        if (it->first != keep && (oldest == servers_.end() || it->second.lastReply < oldest->second.lastReply)) {
            oldest = it;
        }
    }
    if (oldest == servers_.end()) {
        return false;
    }
    tracked_ -= oldest->second.entries.size();
    servers_.erase(oldest);
    return true;
}
