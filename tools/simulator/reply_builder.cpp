#include "reply_builder.h"

#include <cstring>
#include <vector>

namespace {

const char STATUS_QUERY[] = "\xff\xff\xff\xffstatus";
const char REPLY_HEADER[] = "\xff\xff\xff\xffprint\n";
const char HEARTBEAT_HEADER[] = "\xff\xff\xff\xffheartbeat\n";
const char PADDING_KEY[] = "padding";

std::string InfoLine(const std::map<std::string, std::string>& info) {
    std::string line;
    for (const auto& [key, value] : info) {
        if (!value.empty()) {
            line += '\\' + key + '\\' + value;
        }
    }
    return line;
}

} // namespace

bool IsStatusQuery(const char* data, size_t size) {
    size_t length = sizeof STATUS_QUERY - 1;
    return size >= length && std::memcmp(data, STATUS_QUERY, length) == 0;
}

std::string BuildStatusReply(const ServerConfig& server) {
    if (server.raw) {
        return *server.raw;
    }
    std::map<std::string, std::string> info = server.info;
    std::vector<std::string> players;
    size_t player_bytes = 0;
    for (const Player& player : server.players) {
        players.push_back(std::to_string(player.score) + ' ' + std::to_string(player.ping) + " \"" + player.name +
                          "\"\n");
        player_bytes += players.back().size();
    }
    if (server.oversize) {
        // Pad one value so the whole reply comes to OVERSIZE_REPLY_BYTES (more, if it was already longer).
        info.erase(PADDING_KEY);
        size_t unpadded = sizeof REPLY_HEADER - 1 + InfoLine(info).size() + 1 + player_bytes;
        size_t key_bytes = sizeof PADDING_KEY - 1 + 2;
        size_t fill = unpadded + key_bytes < OVERSIZE_REPLY_BYTES ? OVERSIZE_REPLY_BYTES - unpadded - key_bytes : 1;
        info[PADDING_KEY] = std::string(fill, 'x');
    }
    std::string reply = REPLY_HEADER + InfoLine(info) + "\n";
    if (!server.oversize && reply.size() > MAX_REPLY_BYTES) {
        reply.resize(MAX_REPLY_BYTES);
        return reply;
    }
    // Like a real server, leave out the player lines that no longer fit whole.
    for (const std::string& line : players) {
        if (!server.oversize && reply.size() + line.size() > MAX_REPLY_BYTES) {
            break;
        }
        reply += line;
    }
    return reply;
}

std::string BuildHeartbeat(const ServerConfig& server) {
    ServerConfig plain = server;
    plain.raw.reset();
    plain.oversize = false;
    return HEARTBEAT_HEADER + BuildStatusReply(plain).substr(sizeof REPLY_HEADER - 1);
}
