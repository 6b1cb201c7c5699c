// The master web service: the server list of a mod (GET /?mod=<dir>&raw=2) and the filters text (GET /filters),
// served by libmicrohttpd with a thread per connection, so a delayed or trickled answer holds up only its own
// connection.
#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "event_log.h"
#include "scenario.h"

struct MHD_Daemon;

// What the service answers with; replaced whole when a scenario is loaded.
struct MasterContent {
    struct Entry {
        std::string mod;
        std::string bytes; // 4 address bytes, then the port, all in network order
    };
    HttpAnswer master;
    HttpAnswer filters;
    std::vector<Entry> listed; // in scenario order
    std::vector<RedirectConfig> redirects;
};

std::shared_ptr<const MasterContent> MakeMasterContent(const Scenario& scenario);

class MasterService {
public:
    explicit MasterService(EventLog* log) : log_(log) {}
    MasterService(const MasterService&) = delete;
    MasterService& operator=(const MasterService&) = delete;
    ~MasterService() { Stop(); }

    bool Start(const Endpoint& address, std::string* error);
    void Stop();
    bool running() const { return daemon_ != nullptr; }
    Endpoint address() const { return bound_; }

    void SetContent(std::shared_ptr<const MasterContent> content);

private:
    struct Answer;
    std::shared_ptr<const MasterContent> Content() const;
    Answer Route(const std::string& method, const std::string& target) const;

    struct Callbacks; // libmicrohttpd's entry points

    EventLog* log_;
    mutable std::mutex mutex_;
    std::shared_ptr<const MasterContent> content_ = std::make_shared<MasterContent>();
    MHD_Daemon* daemon_ = nullptr;
    int listen_fd_ = -1;
    Endpoint bound_;
};
