#include "server_api.h"

#include <ctime>
#include <iterator>

#include "core/text/format.h"
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
    fmt::format_to(std::back_inserter(*json), "{{\"address\":\"{}\",\"hostname\":", FormatAddress(server.address));
    AppendJsonString(json, status.hostname);
    *json += ",\"map\":";
    AppendJsonString(json, status.mapname);
    *json += ",\"mod\":";
    AppendJsonString(json, status.gamename);
    fmt::format_to(std::back_inserter(*json),
                   ",\"player_count\":{},\"max_players\":{},\"last_checked\":", status.players.size(),
                   status.max_players);
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
        fmt::format_to(std::back_inserter(*json), ",\"frags\":{},\"ping\":{}}}", player.frags, player.ping);
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
    fmt::format_to(std::back_inserter(json), ",\"count\":{},\"servers\":[", servers.size());
    for (size_t i = 0; i < servers.size(); ++i) {
        json += i ? ",\n" : "\n";
        AppendServer(&json, picture, *servers[i]);
    }
    json += "]}\n";
    return json;
}

std::string BuildHealthJson(size_t listed) {
    return fmt::format("{{\"status\":\"up\",\"version\":\"{}\",\"servers\":{}}}\n", SKERROW_VERSION, listed);
}

} // namespace skerrow_master
