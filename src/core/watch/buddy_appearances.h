// When buddies appear on servers. Per server (address and port) and buddy entry, an appearance begins with a reply
// from the server that lists a player matching the entry, and ends only with a later reply from that server without
// one: a reply that never came, or a run that did not hear the server, leaves it as it was. So a buddy who stays is
// told of once, not at every run. Portable (no Win32); the main window's user interface thread owns one.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "core/display/buddy_match.h"
#include "core/protocol/server_record.h"

// An appearance that a reply began: the player as the server gives the name, and the server as the reply showed it.
struct BuddySighting {
    uint32_t addr;
    uint16_t port;
    std::u16string player;
    std::u16string hostname;
    std::u16string mapname;
    int32_t players;
    int32_t maxClients;
};

// The (server, entry) pairs kept at most; past it, the servers heard from longest ago are forgotten first (a buddy
// still on one of them is told of again at its next reply).
constexpr size_t MAX_TRACKED_APPEARANCES = 4096;

class BuddyAppearances {
public:
    explicit BuddyAppearances(size_t capacity = MAX_TRACKED_APPEARANCES) : capacity_(capacity) {}

    // The replies of one delivery, against the buddy entries as they stand: the appearances they begin, in reply
    // order, at most one per player of a server (two entries matching one player make one sighting).
    std::vector<BuddySighting> TakeReplies(const std::vector<const ServerRecord*>& replies, const BuddyName* entries,
                                           size_t count);

    // Forgets every appearance: buddies already playing are told of again at their servers' next replies.
    void Clear();

    // The (server, entry) pairs kept now.
    size_t Tracked() const { return tracked_; }

private:
    struct Server {
        std::vector<std::u16string> entries; // the entries a player matched at the server's latest reply
        uint64_t lastReply;                  // the number of that reply, among all taken
    };

    void TakeReply(const ServerRecord& record, const BuddyName* entries, size_t count,
                   std::vector<BuddySighting>& began);
    // Forgets the server heard from longest ago but `keep`; false when there is none.
    bool ForgetOldestBeside(uint64_t keep);

    std::map<uint64_t, Server> servers_; // by address and port
    size_t tracked_ = 0;
    size_t capacity_;
    uint64_t replies_ = 0;
};
