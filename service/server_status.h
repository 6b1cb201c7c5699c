// What a listed server said in its latest answer to the service's status query: the fields the web page and the
// JSON API show. Every text is the server's own bytes (hostile: any byte but zero); whoever shows it escapes it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct PlayerStatus {
    std::string name; // at most 31 bytes
    int32_t frags = 0;
    int32_t ping = 0;
};

struct ServerStatus {
    std::string gamename; // 1 to 63 bytes; "default" when the reply names none
    std::string hostname; // at most 255 bytes
    std::string mapname;
    int32_t max_players = 0;
    std::vector<PlayerStatus> players; // at most 64
};
