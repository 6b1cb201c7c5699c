// What the web list answers, apart from HTTP itself: the browser's "/?mod=NAME&raw=2" and "/filters", the page of
// servers ("/", "/?mod=DIR"), and the JSON API ("/api/servers", "/api/health"); anything else is 404.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "answer_cache.h"
#include "mod_list.h"
#include "server_store.h"

namespace skerrow_master {

// The browser decodes at most this many entries (65,532 bytes).
constexpr size_t MAX_WEB_LIST_ENTRIES = 10922;

struct WebAnswer {
    unsigned status = 404;
    std::string body;
    const char* content_type = "text/plain; charset=utf-8";
    SharedBody shared = nullptr; // when set, the body: an answer many requests share
};

// Whether the target is the list request: path "/", then the parameters mod and raw in either order, each once and
// no others, raw being 2. The mod value is taken as it stands, without percent-decoding, as the browser sends game
// directories unencoded; a missing mod is the empty one (every server).
bool ParseListTarget(std::string_view target, std::string* mod);

// The "/filters" text, built again only when the list has changed, and then at most once a second: a request for it
// costs a copy, whatever the list holds and however often it is asked for.
class FiltersText {
public:
    const std::string& Get(const ServerStore& store, const std::vector<ModPair>& mods, Clock::time_point now);

private:
    std::string text_;
    uint64_t list_version_ = 0;
    Clock::time_point built_{};
    bool valid_ = false;
};

// Whether the target is `path`, alone or with a query whose every parameter `take(name, value)` accepts, each name
// at most once.
bool MatchTarget(std::string_view target, std::string_view path,
                 const std::function<bool(std::string_view name, std::string_view value)>& take);

WebAnswer AnswerRequest(bool is_get, std::string_view target, const ServerStore& store,
                        const std::vector<ModPair>& mods, FiltersText* filters, AnswerCache* answers);

} // namespace skerrow_master
