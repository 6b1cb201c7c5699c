// The web page's and the JSON API's answers, built from one picture of the listed servers. The picture is taken
// again only when the list or a server's answer has changed, and then at most once per period; each answer (a page
// for a mod, a sort order and a page number; the API's list for a mod) is built once per picture and shared by every
// request for it. A request then costs a pointer copy however many ask, and a slow reader holds only the answer it
// began with. An answer that a newer picture outdates is made again on a thread of the cache's own while requests
// get the one before, so making a list of megabytes never holds the service's thread. That thread owns the cache;
// the builder sees only pictures, which nobody changes once taken.
#pragma once

#include <boost/asio/io_context.hpp>
#include <boost/asio/thread_pool.hpp>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "server_store.h"

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
    // Called on the builder's thread with a picture nobody changes: it must hold its own copy of what it needs.
    using Build = std::function<std::string(const ListPicture&)>;

    // Without an io_context every answer is made at once on the caller's thread.
    explicit AnswerCache(Clock::duration period, boost::asio::io_context* io = nullptr);
    ~AnswerCache();
    AnswerCache(const AnswerCache&) = delete;
    AnswerCache& operator=(const AnswerCache&) = delete;

    // The answer for `key`: from the current picture, made at once when there is none for the key yet; else, while
    // the one there is comes from an older picture, that one, and a new one is made on the builder's thread.
    SharedBody Get(const ServerStore& store, const std::string& key, Clock::time_point now, Build build);

private:
    struct Answer {
        SharedBody body;
        uint64_t picture = 0;  // the number of the picture it was made from
        bool building = false; // a newer one is being made
    };

    void BuildLater(const std::string& key, Build build);

    Clock::duration period_;
    boost::asio::io_context* io_;
    std::unique_ptr<boost::asio::thread_pool> builder_; // with an io_context
    std::shared_ptr<const ListPicture> picture_;
    uint64_t picture_number_ = 0;
    uint64_t list_version_ = 0;
    uint64_t answer_version_ = 0;
    std::unordered_map<std::string, Answer> answers_;
};
