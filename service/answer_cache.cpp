#include "answer_cache.h"

#include <boost/asio/post.hpp>

#include <ctime>

#include "core/text/ascii_case.h"

namespace {

// Pages for every mod, sort order and page number could be asked for: beyond this many, the answers start over.
constexpr size_t MAX_ANSWERS = 64;

} // namespace

AnswerCache::AnswerCache(Clock::duration period, boost::asio::io_context* io) : period_(period), io_(io) {
    if (io_) {
        builder_ = std::make_unique<boost::asio::thread_pool>(1);
    }
}

AnswerCache::~AnswerCache() {
    if (builder_) {
        builder_->stop(); // what has not started is dropped; what has, ends
        builder_->join();
    }
}

SharedBody AnswerCache::Get(const ServerStore& store, const std::string& key, Clock::time_point now, Build build) {
    bool changed = !picture_ || store.list_version() != list_version_ || store.answer_version() != answer_version_;
    if (changed && (!picture_ || now - picture_->taken >= period_)) {
        auto picture = std::make_shared<ListPicture>();
        picture->servers = store.Listed();
        picture->taken = now;
        picture->taken_seconds = static_cast<int64_t>(std::time(nullptr));
        picture_ = std::move(picture);
        ++picture_number_;
        list_version_ = store.list_version();
        answer_version_ = store.answer_version();
        // Answers nobody asked for since the picture before are dropped: only those in demand are made again.
        for (auto it = answers_.begin(); it != answers_.end();) {
            bool idle = !io_ || (it->second.picture + 1 < picture_number_ && !it->second.building);
            it = idle ? answers_.erase(it) : std::next(it);
        }
    }
    auto it = answers_.find(key);
    if (it != answers_.end() && (it->second.picture == picture_number_ || io_)) {
        if (it->second.picture != picture_number_ && !it->second.building) {
            it->second.building = true;
            BuildLater(key, std::move(build));
        }
        return it->second.body;
    }
    if (answers_.size() >= MAX_ANSWERS) {
        answers_.clear();
    }
    SharedBody body = std::make_shared<const std::string>(build(*picture_));
    answers_[key] = {body, picture_number_, false};
    return body;
}

void AnswerCache::BuildLater(const std::string& key, Build build) {
    boost::asio::post(*builder_, [this, key, build = std::move(build), picture = picture_, number = picture_number_] {
        SharedBody body = std::make_shared<const std::string>(build(*picture));
        boost::asio::post(*io_, [this, key, body = std::move(body), number] {
            Answer& answer = answers_[key];
            if (number >= answer.picture) {
                answer.body = body;
                answer.picture = number;
            }
            answer.building = false;
        });
    });
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
