// What the web list answers, apart from HTTP itself: "/?mod=NAME&raw=2" and "/filters"; anything else is 404.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "mod_list.h"
#include "server_store.h"

// The browser decodes at most this many entries (65,532 bytes).
constexpr size_t MAX_WEB_LIST_ENTRIES = 10922;

struct WebAnswer {
    unsigned status = 404;
    std::string body;
    const char* content_type = "text/plain; charset=utf-8";
};

// Whether the target is the list request: path "/", then the parameters mod and raw in either order, each once and
// no others, raw being 2. The mod value is taken as it stands, without percent-decoding, as the browser sends game
// directories unencoded; a missing mod is the empty one (every server).
bool ParseListTarget(std::string_view target, std::string* mod);

WebAnswer AnswerRequest(bool is_get, std::string_view target, const ServerStore& store,
                        const std::vector<ModPair>& mods);
