#include "web_routes.h"

#include <algorithm>

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

} // namespace

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
                        const std::vector<ModPair>& mods, FiltersText* filters) {
    WebAnswer answer;
    std::string mod;
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
    } else {
        answer.body = "not found\n";
    }
    return answer;
}
