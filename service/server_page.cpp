#include "server_page.h"

#include <algorithm>
#include <charconv>
#include <iterator>
#include <map>
#include <tuple>

#include "core/text/ascii_case.h"
#include "core/text/format.h"
#include "web_text.h"

namespace skerrow_master {

namespace {

struct Column {
    PageSort sort;
    const char* name;  // in links
    const char* title; // in the head of the table
};

const Column COLUMNS[] = {
    {PageSort::Name, "name", "Name"}, {PageSort::Address, "address", "Address"},
    {PageSort::Map, "map", "Map"},    {PageSort::Players, "players", "Players"},
    {PageSort::Mod, "mod", "Mod"},    {PageSort::Checked, "checked", "Checked"},
};

const char STYLE[] =
    "body{font:15px/1.35 system-ui,sans-serif;margin:0 auto;max-width:72em;padding:.5em;color:#111;background:#fff}"
    "h1{font-size:1.3em;margin:.3em 0}p{margin:.4em 0}table{border-collapse:collapse;width:100%}"
    "th,td{text-align:left;padding:.25em .4em;vertical-align:top}th{background:#ddd;white-space:nowrap}th "
    "a{color:inherit}"
    "tr.s{border-top:1px solid #bbb}tr.s td{font-weight:600}td.n{white-space:nowrap}"
    "tr.p td{padding:0 .4em .5em 1.5em;font-size:.9em;color:#333}tr.p span{display:inline-block;margin-right:1.2em}"
    "small{color:#666}.mods span{margin-right:1em;white-space:nowrap}"
    "@media(max-width:40em){body{font-size:14px}th,td{padding:.2em}.a{display:none}}";

std::string Link(const PageQuery& query) {
    std::string link = "/?";
    if (!query.mod.empty()) {
        link += "mod=";
        AppendPercentEncoded(&link, query.mod);
        link += '&';
    }
    for (const Column& column : COLUMNS) {
        if (column.sort == query.sort) {
            link += std::string("sort=") + column.name;
        }
    }
    if (query.page > 1) {
        link += fmt::format("&page={}", query.page);
    }
    return link;
}

std::string AgeText(int64_t seconds) {
    seconds = std::max<int64_t>(0, seconds);
    if (seconds < 120) {
        return fmt::format("{} s", seconds);
    }
    return seconds < 7200 ? fmt::format("{} min", seconds / 60) : fmt::format("{} h", seconds / 3600);
}

std::string UtcText(int64_t seconds) {
    time_t time = static_cast<time_t>(seconds);
    tm parts{};
    gmtime_r(&time, &parts);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S UTC", &parts);
    return text;
}

// Players, most first, then by name and address; the other columns from the smallest, then by players.
void Sort(std::vector<const ListedServer*>* servers, PageSort sort) {
    auto key = [sort](const ListedServer* server) {
        const ServerStatus& status = *server->status;
        int players = -static_cast<int>(status.players.size());
        std::string text;
        int64_t number = 0;
        switch (sort) {
        case PageSort::Name:
            text = FoldedAscii<char>(status.hostname);
            break;
        case PageSort::Address:
            number = static_cast<int64_t>(AddressKey(server->address));
            break;
        case PageSort::Map:
            text = FoldedAscii<char>(status.mapname);
            break;
        case PageSort::Mod:
            text = FoldedAscii<char>(status.gamename);
            break;
        case PageSort::Checked:
            number = -server->last_answer.time_since_epoch().count(); // the latest first
            break;
        case PageSort::Players:
            text = FoldedAscii<char>(status.hostname);
            break;
        }
        return std::make_tuple(sort == PageSort::Players ? players : 0, number, std::move(text), players,
                               AddressKey(server->address));
    };
    std::vector<std::pair<decltype(key(nullptr)), const ListedServer*>> keyed;
    keyed.reserve(servers->size());
    for (const ListedServer* server : *servers) {
        keyed.emplace_back(key(server), server);
    }
    std::sort(keyed.begin(), keyed.end());
    for (size_t i = 0; i < keyed.size(); ++i) {
        (*servers)[i] = keyed[i].second;
    }
}

void AppendModLinks(std::string* html, const ListPicture& picture, const PageQuery& query) {
    std::map<std::string, std::pair<std::string, size_t>> mods; // by folded name: a spelling and its servers
    for (const ListedServer& server : picture.servers) {
        auto& entry = mods[FoldedAscii<char>(server.status->gamename)];
        entry.first = entry.second == 0 ? server.status->gamename : entry.first;
        ++entry.second;
    }
    fmt::format_to(std::back_inserter(*html),
                   "<p class=\"mods\">Mods: <span><a href=\"/\">all</a> <small>{}</small></span>",
                   picture.servers.size());
    for (const auto& [folded, entry] : mods) {
        PageQuery other{entry.first, query.sort, 1};
        *html += " <span><a href=\"";
        AppendHtml(html, Link(other));
        *html += "\">";
        AppendHtml(html, entry.first);
        fmt::format_to(std::back_inserter(*html), "</a> <small>{}</small></span>", entry.second);
    }
    *html += "</p>\n";
}

void AppendServer(std::string* html, const ListPicture& picture, const ListedServer& server) {
    const ServerStatus& status = *server.status;
    *html += "<tr class=\"s\"><td>";
    AppendHtml(html, status.hostname);
    fmt::format_to(std::back_inserter(*html), "</td><td class=\"n a\">{}</td><td>", FormatAddress(server.address));
    AppendHtml(html, status.mapname);
    fmt::format_to(std::back_inserter(*html), "</td><td class=\"n\">{}/{}</td><td>", status.players.size(),
                   status.max_players);
    AppendHtml(html, status.gamename);
    fmt::format_to(std::back_inserter(*html),
                   "</td><td class=\"n\">{} ago</td></tr>\n<tr class=\"p\"><td colspan=\"6\">",
                   AgeText(picture.WallSeconds(picture.taken) - picture.WallSeconds(server.last_answer)));
    if (status.players.empty()) {
        *html += "<small>no players</small>";
    }
    for (size_t i = 0; i < status.players.size(); ++i) {
        PlayerList::Player player = status.players[i];
        *html += "<span>";
        AppendHtml(html, player.name);
        fmt::format_to(std::back_inserter(*html), " <small>{} frags, {} ms</small></span>", player.frags, player.ping);
    }
    *html += "</td></tr>\n";
}

} // namespace

bool TakePageParameter(std::string_view name, std::string_view value, PageQuery* query) {
    if (name == "mod") {
        query->mod = PercentDecoded(value);
        return true;
    }
    if (name == "sort") {
        for (const Column& column : COLUMNS) {
            if (value == column.name) {
                query->sort = column.sort;
                return true;
            }
        }
        return false;
    }
    size_t page = 0;
    auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), page);
    query->page = page;
    return name == "page" && error == std::errc() && end == value.data() + value.size() && page >= 1 && page <= 100000;
}

std::string PageKey(const PageQuery& query) {
    return "page " + Link(query);
}

std::string BuildServerPage(const ListPicture& picture, const PageQuery& query) {
    std::vector<const ListedServer*> servers = ServersOf(picture, query.mod);
    Sort(&servers, query.sort);
    size_t pages = std::max<size_t>(1, (servers.size() + SERVERS_PER_PAGE - 1) / SERVERS_PER_PAGE);
    size_t page = std::min(query.page, pages);
    size_t players = 0;
    for (const ListedServer* server : servers) {
        players += server->status->players.size();
    }

    std::string html = "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\">"
                       "<meta name=\"viewport\" content=\"width=device-width,initial-scale=1\">"
                       "<title>Quake II servers</title><style>";
    html += STYLE;
    html += "</style></head><body>\n<h1>Quake II servers</h1>\n";
    AppendModLinks(&html, picture, query);
    fmt::format_to(std::back_inserter(html), "<p>{} servers, {} players", servers.size(), players);
    if (!query.mod.empty()) {
        html += " of ";
        AppendHtml(&html, query.mod);
    }
    fmt::format_to(std::back_inserter(html),
                   "; players as of each server's latest check. Page {} of {}, made {}.</p>\n<table><thead><tr>", page,
                   pages, UtcText(picture.taken_seconds));
    for (const Column& column : COLUMNS) {
        PageQuery sorted{query.mod, column.sort, 1};
        html += std::string(column.sort == PageSort::Address ? "<th class=\"a\">" : "<th>") + "<a href=\"";
        AppendHtml(&html, Link(sorted));
        fmt::format_to(std::back_inserter(html), "\">{}{}</a></th>", column.title,
                       column.sort == query.sort ? " ▾" : "");
    }
    html += "</tr></thead><tbody>\n";
    for (size_t i = (page - 1) * SERVERS_PER_PAGE; i < std::min(servers.size(), page * SERVERS_PER_PAGE); ++i) {
        AppendServer(&html, picture, *servers[i]);
    }
    html += "</tbody></table>\n<p>";
    for (size_t other : {page - 1, page + 1}) {
        if (other >= 1 && other <= pages) {
            PageQuery next{query.mod, query.sort, other};
            html += "<a href=\"";
            AppendHtml(&html, Link(next));
            html += other < page ? "\">&larr; previous</a> " : "\">next &rarr;</a>";
        }
    }
    html += "</p>\n<p><small>JSON: <a href=\"/api/servers\">/api/servers</a></small></p>\n</body></html>\n";
    return html;
}

} // namespace skerrow_master
