#include "answer_cache.h"

#include <ctime>

#include "core/text/ascii_case.h"

namespace skerrow_master {

namespace {

// Pages for every mod, sort order and page number could be asked for: beyond this many, the answers start over.
constexpr size_t MAX_ANSWERS = 64;

} // namespace

SharedBody AnswerCache::Get(const ServerStore& store, const std::string& key, Clock::time_point now,
                            const Build& build) {
    bool changed = !valid_ || store.list_version() != list_version_ || store.answer_version() != answer_version_;
    if (changed && (!valid_ || now - picture_.taken >= period_)) {
        picture_.servers = store.Listed();
        picture_.taken = now;
        picture_.taken_seconds = static_cast<int64_t>(std::time(nullptr));
        list_version_ = store.list_version();
        answer_version_ = store.answer_version();
        valid_ = true;
        answers_.clear();
    }
    auto it = answers_.find(key);
    if (it != answers_.end()) {
        return it->second;
    }
    if (answers_.size() >= MAX_ANSWERS) {
        answers_.clear();
    }
    SharedBody body = std::make_shared<const std::string>(build(picture_));
    answers_.emplace(key, body);
    return body;
}

std::vector<const ListedServer*> ServersOf(const ListPicture& picture, std::string_view mod) {
    std::vector<const ListedServer*> servers;
    servers.reserve(picture.servers.size());
    for (const ListedServer& server : picture.servers) {
        if (mod.empty() || EqualsIgnoringAsciiCase(server.status->gamename, mod)) {
            servers.push_back(&server);
        }
    }
    return servers;
}

} // namespace skerrow_master
