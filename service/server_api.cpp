#include "server_api.h"

#include <ctime>

#include "core/version.h"
#include "web_text.h"

namespace skerrow_master {

namespace {

void AppendTime(std::string* json, int64_t seconds) {
    time_t time = static_cast<time_t>(seconds);
    tm parts{};
    gmtime_r(&time, &parts);
    char text[32];
    std::strftime(text, sizeof text, "\"%Y-%m-%dT%H:%M:%SZ\"", &parts);
    *json += text;
}

void AppendServer(std::string* json, const ListPicture& picture, const ListedServer& server) {
    const ServerStatus& status = *server.status;
    *json += "{\"address\":\"" + FormatAddress(server.address) + "\",\"hostname\":";
    AppendJsonString(json, status.hostname);
    *json += ",\"map\":";
    AppendJsonString(json, status.mapname);
    *json += ",\"mod\":";
    AppendJsonString(json, status.gamename);
    *json += ",\"player_count\":" + std::to_string(status.players.size()) +
             ",\"max_players\":" + std::to_string(status.max_players) + ",\"last_checked\":";
    AppendTime(json, picture.WallSeconds(server.last_answer));
    *json += ",\"last_heard\":";
    if (server.last_heartbeat == Clock::time_point{}) {
        *json += "null";
    } else {
        AppendTime(json, picture.WallSeconds(server.last_heartbeat));
    }
    *json += ",\"players\":[";
    for (size_t i = 0; i < status.players.size(); ++i) {
        PlayerList::Player player = status.players[i];
        *json += i ? ",{\"name\":" : "{\"name\":";
        AppendJsonString(json, player.name);
        *json += ",\"frags\":" + std::to_string(player.frags) + ",\"ping\":" + std::to_string(player.ping) + "}";
    }
    *json += "]}";
}

// At least what AppendServer writes for the server, so the whole list is allocated once: it can be megabytes.
size_t ServerSizeBound(const ServerStatus& status) {
    size_t size =
        256 + JsonStringSize(status.hostname) + JsonStringSize(status.mapname) + JsonStringSize(status.gamename);
    for (size_t i = 0; i < status.players.size(); ++i) {
        size += 56 + JsonStringSize(status.players[i].name);
    }
    return size;
}

} // namespace

std::string BuildServersJson(const ListPicture& picture, std::string_view mod) {
    std::vector<const ListedServer*> servers = ServersOf(picture, mod);
    size_t size = 128;
    for (const ListedServer* server : servers) {
        size += ServerSizeBound(*server->status);
    }
    std::string json;
    json.reserve(size);
    json += "{\"generated\":";
    AppendTime(&json, picture.taken_seconds);
    json += ",\"count\":" + std::to_string(servers.size()) + ",\"servers\":[";
    for (size_t i = 0; i < servers.size(); ++i) {
        json += i ? ",\n" : "\n";
        AppendServer(&json, picture, *servers[i]);
    }
    json += "]}\n";
    return json;
}

std::string BuildHealthJson(size_t listed) {
    return std::string("{\"status\":\"up\",\"version\":\"") + SKERROW_VERSION +
           "\",\"servers\":" + std::to_string(listed) + "}\n";
}

} // namespace skerrow_master
