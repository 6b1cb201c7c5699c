#include "web_routes.h"

#include <algorithm>

#include "server_api.h"
#include "server_page.h"
#include "core/text/ascii_case.h"
#include "web_text.h"

namespace skerrow_master {

bool ParseListTarget(std::string_view target, std::string* mod) {
    if (target.substr(0, 2) != "/?") {
        return false;
    }
    std::string_view query = target.substr(2);
    bool has_mod = false;
    bool has_raw = false;
    while (true) {
        size_t end = query.find('&');
        std::string_view parameter = query.substr(0, end);
        if (parameter.substr(0, 4) == "mod=" && !has_mod) {
            has_mod = true;
            *mod = std::string(parameter.substr(4));
        } else if (parameter == "raw=2" && !has_raw) {
            has_raw = true;
        } else {
            return false;
        }
        if (end == std::string_view::npos) {
            break;
        }
        query = query.substr(end + 1);
    }
    if (!has_mod) {
        mod->clear();
    }
    return has_raw;
}

namespace {

constexpr std::chrono::seconds FILTERS_REBUILD_PERIOD(1);
const char HTML[] = "text/html; charset=utf-8";
const char JSON[] = "application/json";

} // namespace

bool MatchTarget(std::string_view target, std::string_view path,
                 const std::function<bool(std::string_view name, std::string_view value)>& take) {
    if (target.substr(0, path.size()) != path) {
        return false;
    }
    target.remove_prefix(path.size());
    if (target.empty()) {
        return true;
    }
    if (target[0] != '?') {
        return false;
    }
    std::vector<std::string_view> seen;
    for (std::string_view query = target.substr(1);;) {
        size_t end = query.find('&');
        std::string_view parameter = query.substr(0, end);
        size_t equals = parameter.find('=');
        std::string_view name = parameter.substr(0, equals);
        std::string_view value = equals == std::string_view::npos ? "" : parameter.substr(equals + 1);
        if (std::find(seen.begin(), seen.end(), name) != seen.end() || !take(name, value)) {
            return false;
        }
        seen.push_back(name);
        if (end == std::string_view::npos) {
            return true;
        }
        query.remove_prefix(end + 1);
    }
}

const std::string& FiltersText::Get(const ServerStore& store, const std::vector<ModPair>& mods, Clock::time_point now) {
    bool changed = !valid_ || store.list_version() != list_version_;
    if (changed && (!valid_ || now - built_ >= FILTERS_REBUILD_PERIOD)) {
        text_ = BuildModText(mods, store.ListedGameNames());
        list_version_ = store.list_version();
        built_ = now;
        valid_ = true;
    }
    return text_;
}

WebAnswer AnswerRequest(bool is_get, std::string_view target, const ServerStore& store,
                        const std::vector<ModPair>& mods, FiltersText* filters, AnswerCache* answers) {
    WebAnswer answer;
    std::string mod;
    PageQuery page;
    auto take_page = [&](std::string_view name, std::string_view value) {
        return TakePageParameter(name, value, &page);
    };
    auto take_mod = [&](std::string_view name, std::string_view value) {
        mod = PercentDecoded(value);
        return name == "mod";
    };
    if (!is_get) {
        answer.body = "not found\n";
    } else if (target == "/filters") {
        answer.status = 200;
        answer.body = filters->Get(store, mods, Clock::now());
    } else if (ParseListTarget(target, &mod)) {
        answer.status = 200;
        answer.content_type = "application/octet-stream";
        answer.body.reserve(std::min(store.listed(), MAX_WEB_LIST_ENTRIES) * LIST_ENTRY_SIZE);
        store.AppendList(mod, MAX_WEB_LIST_ENTRIES, &answer.body);
    } else if (MatchTarget(target, "/", take_page)) {
        answer.status = 200;
        answer.content_type = HTML;
        answer.shared = answers->Get(store, PageKey(page), Clock::now(),
                                     [&](const ListPicture& picture) { return BuildServerPage(picture, page); });
    } else if (MatchTarget(target, "/api/servers", take_mod)) {
        answer.status = 200;
        answer.content_type = JSON;
        answer.shared = answers->Get(store, "api " + FoldedAscii<char>(mod), Clock::now(),
                                     [&](const ListPicture& picture) { return BuildServersJson(picture, mod); });
    } else if (target == "/api/health") {
        answer.status = 200;
        answer.content_type = JSON;
        answer.body = BuildHealthJson(store.listed());
    } else {
        answer.body = "not found\n";
    }
    return answer;
}

} // namespace skerrow_master
