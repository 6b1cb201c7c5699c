// The web page's and the JSON API's answers, built from one picture of the listed servers. The picture is taken
// again only when the list or a server's answer has changed, and then at most once per period; each answer (a page
// for a mod, a sort order and a page number; the API's list for a mod) is built once per picture and shared by every
// request for it. A request then costs a pointer copy however many ask, and a slow reader holds only the answer it
// began with. The service's one thread owns it.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "server_store.h"

namespace skerrow_master {

struct ListPicture {
    std::vector<ListedServer> servers;
    Clock::time_point taken{};
    int64_t taken_seconds = 0; // the same moment on the wall clock, in seconds since 1970

    // A moment of the steady clock on the wall clock.
    int64_t WallSeconds(Clock::time_point when) const {
        return taken_seconds - std::chrono::duration_cast<std::chrono::seconds>(taken - when).count();
    }
};

// The picture's servers whose gamename equals `mod`, ignoring ASCII case (all of them for an empty mod).
std::vector<const ListedServer*> ServersOf(const ListPicture& picture, std::string_view mod);

using SharedBody = std::shared_ptr<const std::string>;

class AnswerCache {
public:
    using Build = std::function<std::string(const ListPicture&)>;

    explicit AnswerCache(Clock::duration period) : period_(period) {}

    // The answer for `key` from the current picture, built with `build` when this picture has none yet.
    SharedBody Get(const ServerStore& store, const std::string& key, Clock::time_point now, const Build& build);

private:
    Clock::duration period_;
    ListPicture picture_;
    uint64_t list_version_ = 0;
    uint64_t answer_version_ = 0;
    bool valid_ = false;
    std::unordered_map<std::string, SharedBody> answers_;
};

} // namespace skerrow_master
