// What a listed server said in its latest answer to the service's status query: the fields the web page and the
// JSON API show. Every text is the server's own bytes (hostile: any byte but zero); whoever shows it escapes it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace skerrow_master {

// The players of an answer, packed: their names one after another in one string, so a full server costs a few
// hundred bytes instead of an allocation a player (10,922 servers of 16 players are 175,000 players).
class PlayerList {
public:
    struct Player {
        std::string_view name;
        int32_t frags;
        int32_t ping;
    };

    void Reserve(size_t players, size_t name_bytes) {
        entries_.reserve(players);
        names_.reserve(name_bytes);
    }
    // A name is cut to 255 bytes; a player whose name would not fit the 64 KB of names is left out.
    void Add(std::string_view name, int32_t frags, int32_t ping) {
        name = name.substr(0, 255);
        if (names_.size() + name.size() <= UINT16_MAX) {
            entries_.push_back({frags, ping, static_cast<uint16_t>(names_.size()), static_cast<uint8_t>(name.size())});
            names_ += name;
        }
    }
    size_t size() const { return entries_.size(); }
    bool empty() const { return entries_.empty(); }
    Player operator[](size_t i) const {
        const Entry& entry = entries_[i];
        return {std::string_view(names_).substr(entry.offset, entry.length), entry.frags, entry.ping};
    }

private:
    struct Entry {
        int32_t frags;
        int32_t ping;
        uint16_t offset; // of the name in names_
        uint8_t length;
    };

    std::string names_;
    std::vector<Entry> entries_;
};

struct ServerStatus {
    std::string gamename; // 1 to 63 bytes; "default" when the reply names none
    std::string hostname; // at most 255 bytes
    std::string mapname;
    int32_t max_players = 0;
    PlayerList players; // at most 64, names of at most 31 bytes
};

} // namespace skerrow_master
