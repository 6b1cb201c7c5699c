#include "scenario.h"

#include <charconv>

namespace {

std::string_view Trim(std::string_view text) {
    const char* space = " \t\r";
    size_t first = text.find_first_not_of(space);
    if (first == std::string_view::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(space) - first + 1);
}

// Splits the first blank-separated word off the text.
std::string_view NextWord(std::string_view* text) {
    std::string_view rest = Trim(*text);
    size_t end = rest.find_first_of(" \t");
    std::string_view word = rest.substr(0, end);
    *text = end == std::string_view::npos ? std::string_view() : rest.substr(end);
    return word;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

// A value with its escapes decoded and, when it starts with a double quote, the quotes taken off.
bool DecodeValue(std::string_view text, std::string* out, std::string* why) {
    text = Trim(text);
    bool quoted = !text.empty() && text.front() == '"';
    out->clear();
    for (size_t i = quoted ? 1 : 0; i < text.size();) {
        char c = text[i++];
        if (quoted && c == '"') {
            if (i != text.size()) {
                *why = "text after the closing quote";
                return false;
            }
            return true;
        }
        if (c != '\\') {
            *out += c;
            continue;
        }
        if (i == text.size()) {
            *why = "a backslash ends the value";
            return false;
        }
        char escape = text[i++];
        switch (escape) {
        case '\\':
        case '"':
            *out += escape;
            break;
        case 'n':
            *out += '\n';
            break;
        case 'r':
            *out += '\r';
            break;
        case 't':
            *out += '\t';
            break;
        case 'x': {
            int high = i < text.size() ? HexDigit(text[i]) : -1;
            int low = i + 1 < text.size() ? HexDigit(text[i + 1]) : -1;
            if (high < 0 || low < 0) {
                *why = "\\x needs two hex digits";
                return false;
            }
            *out += static_cast<char>(high << 4 | low);
            i += 2;
            break;
        }
        default:
            *why = std::string("unknown escape \\") + escape;
            return false;
        }
    }
    if (quoted) {
        *why = "missing closing quote";
        return false;
    }
    return true;
}

template <typename Number>
bool ParseNumber(std::string_view text, Number min, Number max, Number* out, std::string* why) {
    Number value{};
    auto [end, result] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (result != std::errc() || end != text.data() + text.size() || value < min || value > max) {
        *why = "expected a whole number from " + std::to_string(min) + " to " + std::to_string(max) + ", not \"" +
               std::string(text) + "\"";
        return false;
    }
    *out = value;
    return true;
}

bool ParseAddressValue(const std::string& value, Endpoint* out, std::string* why) {
    if (!ParseEndpoint(value, out)) {
        *why = "expected an address a.b.c.d:port, not \"" + value + "\"";
        return false;
    }
    return true;
}

bool ParseMillis(std::string_view text, int* out, std::string* why) {
    return ParseNumber(text, 0, 600000, out, why);
}

bool ParseSize(std::string_view text, size_t* out, std::string* why) {
    return ParseNumber<size_t>(text, 0, size_t{1} << 30, out, why);
}

bool ParseBool(std::string_view text, bool* out, std::string* why) {
    for (const char* yes : {"1", "true", "yes", "on"}) {
        if (text == yes) {
            *out = true;
            return true;
        }
    }
    for (const char* no : {"0", "false", "no", "off"}) {
        if (text == no) {
            *out = false;
            return true;
        }
    }
    *why = "expected 1 or 0, not \"" + std::string(text) + "\"";
    return false;
}

bool ParseChunks(std::string_view text, std::vector<size_t>* out, std::string* why) {
    out->clear();
    while (true) {
        size_t comma = text.find(',');
        size_t size = 0;
        if (!ParseSize(Trim(text.substr(0, comma)), &size, why)) {
            return false;
        }
        if (size == 0) {
            *why = "a chunk of 0 bytes";
            return false;
        }
        out->push_back(size);
        if (comma == std::string_view::npos) {
            return true;
        }
        text = text.substr(comma + 1);
    }
}

// Keys of [master] and [filters]; the filters text is the body of the latter.
bool SetHttpKey(HttpAnswer* answer, bool master, std::string_view key, std::string_view raw, std::string* why) {
    std::string value;
    if (!DecodeValue(raw, &value, why)) {
        return false;
    }
    if (key == "status") {
        return ParseNumber(std::string_view(value), 100, 599, &answer->status, why);
    }
    if (key == (master ? "body" : "text")) {
        answer->body = value;
        return true;
    }
    if (key == "delay_ms") {
        return ParseMillis(value, &answer->delay_ms, why);
    }
    if (key == "chunks") {
        return ParseChunks(value, &answer->chunks, why);
    }
    if (key == "chunk_delay_ms") {
        return ParseMillis(value, &answer->chunk_delay_ms, why);
    }
    if (key == "close_after") {
        return ParseSize(value, &answer->close_after.emplace(), why);
    }
    if (master && key == "body_size") {
        return ParseSize(value, &answer->body_size.emplace(), why);
    }
    if (master && key == "refuse") {
        return ParseBool(value, &answer->refuse, why);
    }
    if (key == "content_type") {
        answer->content_type = value;
        return true;
    }
    *why = "unknown key \"" + std::string(key) + "\" in [" + (master ? "master" : "filters") + "]";
    return false;
}

bool SetRedirectKey(RedirectConfig* redirect, std::string_view key, std::string_view raw, std::string* why) {
    std::string value;
    if (!DecodeValue(raw, &value, why)) {
        return false;
    }
    if (key == "from" || key == "to") {
        (key == "from" ? redirect->from : redirect->to) = value;
        return true;
    }
    if (key == "status") {
        return ParseNumber(std::string_view(value), 300, 399, &redirect->status, why);
    }
    *why = "unknown key \"" + std::string(key) + "\" in [redirect]";
    return false;
}

bool IsInfoKey(std::string_view key) {
    for (const char* name :
         {"hostname", "mapname", "gamename", "version", "gamedate", "anticheat", "timelimit", "maxclients"}) {
        if (key == name) {
            return true;
        }
    }
    return false;
}

// "score ping name", the name quoted or not.
bool ParsePlayer(std::string_view raw, Player* player, std::string* why) {
    std::string_view score = NextWord(&raw);
    std::string_view ping = NextWord(&raw);
    if (Trim(raw).empty()) {
        *why = "player needs a score, a ping and a name";
        return false;
    }
    return ParseNumber(score, -99999, 99999, &player->score, why) && ParseNumber(ping, 0, 99999, &player->ping, why) &&
           DecodeValue(raw, &player->name, why);
}

bool SetServerKey(ServerConfig* server, bool* has_address, std::string_view key, std::string_view raw,
                  std::string* why) {
    if (key == "info") {
        std::string_view name = NextWord(&raw);
        if (name.empty() || name.find('\\') != std::string_view::npos) {
            *why = "info needs a key without backslashes, then its value";
            return false;
        }
        return DecodeValue(raw, &server->info[std::string(name)], why);
    }
    if (key == "player") {
        Player player;
        if (!ParsePlayer(raw, &player, why)) {
            return false;
        }
        server->players.push_back(std::move(player));
        return true;
    }
    std::string value;
    if (!DecodeValue(raw, &value, why)) {
        return false;
    }
    if (IsInfoKey(key)) {
        server->info[std::string(key)] = value;
        return true;
    }
    if (key == "address") {
        *has_address = ParseAddressValue(value, &server->address, why);
        return *has_address;
    }
    if (key == "mod") {
        server->mod = value;
        return true;
    }
    if (key == "raw") {
        server->raw = value;
        return true;
    }
    struct {
        const char* key;
        bool* flag;
    } flags[] = {
        {"listed", &server->listed},     {"silent", &server->silent},         {"down", &server->down},
        {"oversize", &server->oversize}, {"rate_limit", &server->rate_limit}, {"heartbeat", &server->heartbeat}};
    for (const auto& flag : flags) {
        if (key == flag.key) {
            return ParseBool(value, flag.flag, why);
        }
    }
    if (key == "delay_ms") {
        return ParseMillis(value, &server->delay_ms, why);
    }
    if (key == "answer_from") {
        return ParseNumber(std::string_view(value), 0, 1000000, &server->answer_from, why);
    }
    if (key == "reply_port") {
        return ParseNumber(std::string_view(value), 1, 65535, &server->reply_port, why);
    }
    if (key == "duplicates") {
        return ParseNumber(std::string_view(value), 0, 100, &server->duplicates, why);
    }
    *why = "unknown key \"" + std::string(key) + "\" in [server]";
    return false;
}

bool SetHeartbeatKey(HeartbeatConfig* heartbeat, std::string_view key, std::string_view raw, std::string* why) {
    std::string value;
    if (!DecodeValue(raw, &value, why)) {
        return false;
    }
    if (key == "master") {
        heartbeat->masters.emplace_back();
        return ParseAddressValue(value, &heartbeat->masters.back(), why);
    }
    if (key == "interval_s") {
        return ParseNumber(std::string_view(value), 1, 3600, &heartbeat->interval_s, why);
    }
    *why = "unknown key \"" + std::string(key) + "\" in [heartbeat]";
    return false;
}

// "all" and addresses, separated by commas or blanks; an empty value lists nothing.
bool ParseListedServers(std::string_view text, UdpMasterConfig* master, std::string* why) {
    master->all = false;
    master->extra.clear();
    while (true) {
        size_t start = text.find_first_not_of(" \t,");
        if (start == std::string_view::npos) {
            return true;
        }
        text = text.substr(start);
        size_t end = text.find_first_of(" \t,");
        std::string word(text.substr(0, end));
        text = end == std::string_view::npos ? std::string_view() : text.substr(end);
        if (word == "all") {
            master->all = true;
        } else if (!ParseAddressValue(word, &master->extra.emplace_back(), why)) {
            return false;
        }
    }
}

bool SetUdpMasterKey(UdpMasterConfig* master, bool* has_address, std::string_view key, std::string_view raw,
                     std::string* why) {
    std::string value;
    if (!DecodeValue(raw, &value, why)) {
        return false;
    }
    if (key == "address") {
        *has_address = ParseAddressValue(value, &master->address, why);
        return *has_address;
    }
    if (key == "servers") {
        return ParseListedServers(value, master, why);
    }
    if (key == "per_datagram") {
        return ParseNumber<size_t>(value, 1, MAX_ENTRIES_PER_DATAGRAM, &master->per_datagram, why);
    }
    if (key == "reply_from") {
        return ParseNumber(std::string_view(value), 1, 65535, &master->reply_from, why);
    }
    if (key == "delay_ms") {
        return ParseMillis(value, &master->delay_ms, why);
    }
    if (key == "silent") {
        return ParseBool(value, &master->silent, why);
    }
    *why = "unknown key \"" + std::string(key) + "\" in [udp_master]";
    return false;
}

enum class Section { None, Master, Filters, Heartbeat, Server, UdpMaster, Redirect };

} // namespace

bool ParseScenario(std::string_view text, Scenario* out, std::string* error) {
    Scenario scenario;
    Section section = Section::None;
    bool has_address = true;
    int number = 0;
    auto fail = [&](int line, const std::string& why) {
        *error = "line " + std::to_string(line) + ": " + why;
        return false;
    };
    // A [server] or [udp_master] section needs its address before the next section begins, a [redirect] both ends.
    auto check_complete = [&] {
        if (section == Section::Redirect &&
            (scenario.redirects.back().from.empty() || scenario.redirects.back().to.empty())) {
            return fail(scenario.redirects.back().line, "[redirect] without from and to");
        }
        if (has_address) {
            return true;
        }
        bool server = section == Section::Server;
        return fail(server ? scenario.servers.back().line : scenario.udp_masters.back().line,
                    server ? "[server] without an address" : "[udp_master] without an address");
    };

    while (!text.empty()) {
        size_t end = text.find('\n');
        std::string_view line = Trim(text.substr(0, end));
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        ++number;
        if (line.empty() || line.front() == '#') {
            continue;
        }
        if (line.front() == '[') {
            if (!check_complete()) {
                return false;
            }
            if (line == "[master]") {
                section = Section::Master;
                scenario.has_master = true;
            } else if (line == "[filters]") {
                section = Section::Filters;
                scenario.has_filters = true;
            } else if (line == "[heartbeat]") {
                section = Section::Heartbeat;
                scenario.has_heartbeat = true;
            } else if (line == "[server]") {
                section = Section::Server;
                scenario.servers.emplace_back();
                scenario.servers.back().line = number;
                has_address = false;
            } else if (line == "[redirect]") {
                section = Section::Redirect;
                scenario.redirects.emplace_back();
                scenario.redirects.back().line = number;
            } else if (line == "[udp_master]") {
                section = Section::UdpMaster;
                scenario.udp_masters.emplace_back();
                scenario.udp_masters.back().line = number;
                has_address = false;
            } else {
                return fail(number, "unknown section " + std::string(line));
            }
            continue;
        }
        size_t equals = line.find('=');
        if (equals == std::string_view::npos) {
            return fail(number, "expected key = value");
        }
        std::string_view key = Trim(line.substr(0, equals));
        std::string_view value = line.substr(equals + 1);
        std::string why;
        bool ok = false;
        switch (section) {
        case Section::None:
            why = "\"" + std::string(key) + "\" before any section";
            break;
        case Section::Master:
            ok = SetHttpKey(&scenario.master, true, key, value, &why);
            break;
        case Section::Filters:
            ok = SetHttpKey(&scenario.filters, false, key, value, &why);
            break;
        case Section::Heartbeat:
            ok = SetHeartbeatKey(&scenario.heartbeat, key, value, &why);
            break;
        case Section::Server:
            ok = SetServerKey(&scenario.servers.back(), &has_address, key, value, &why);
            break;
        case Section::UdpMaster:
            ok = SetUdpMasterKey(&scenario.udp_masters.back(), &has_address, key, value, &why);
            break;
        case Section::Redirect:
            ok = SetRedirectKey(&scenario.redirects.back(), key, value, &why);
            break;
        }
        if (!ok) {
            return fail(number, why);
        }
    }
    if (!check_complete()) {
        return false;
    }
    *out = std::move(scenario);
    return true;
}

void MergeScenario(Scenario* into, Scenario from) {
    if (from.has_master) {
        into->master = std::move(from.master);
        into->has_master = true;
    }
    if (from.has_filters) {
        into->filters = std::move(from.filters);
        into->has_filters = true;
    }
    if (from.has_heartbeat) {
        into->heartbeat = std::move(from.heartbeat);
        into->has_heartbeat = true;
    }
    for (ServerConfig& server : from.servers) {
        into->servers.push_back(std::move(server));
    }
    for (UdpMasterConfig& master : from.udp_masters) {
        into->udp_masters.push_back(std::move(master));
    }
    for (RedirectConfig& redirect : from.redirects) {
        into->redirects.push_back(std::move(redirect));
    }
}
