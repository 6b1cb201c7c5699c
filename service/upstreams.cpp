#include "upstreams.h"

#include "core/text/format.h"
#include "master_datagram.h"

namespace skerrow_master {

Upstreams::Upstreams(asio::io_context& io, std::vector<Upstream> upstreams, std::chrono::seconds interval,
                     Clock::duration answer_window, ServerStore* store, Checker* checker, LogSink log)
    : timer_(io), resolver_(io), interval_(interval), answer_window_(answer_window), store_(store), checker_(checker),
      log_(std::move(log)) {
    for (Upstream& upstream : upstreams) {
        masters_.push_back({std::move(upstream), {}});
    }
}

void Upstreams::Start() {
    if (!masters_.empty()) {
        AskAll();
    }
}

void Upstreams::Stop() {
    timer_.cancel();
    resolver_.cancel();
}

void Upstreams::AskAll() {
    for (size_t i = 0; i < masters_.size(); ++i) {
        Ask(i);
    }
    timer_.expires_after(interval_);
    timer_.async_wait([this](const boost::system::error_code& ec) {
        if (!ec) {
            AskAll();
        }
    });
}

// The name is resolved again every time, so a master that moves is followed.
void Upstreams::Ask(size_t index) {
    const Upstream& name = masters_[index].name;
    resolver_.async_resolve(
        udp::v4(), name.host, name.port, udp::resolver::numeric_service,
        [this, index](const boost::system::error_code& ec, const udp::resolver::results_type& results) {
            Master& master = masters_[index];
            std::string name = master.name.host + ":" + master.name.port;
            if (ec || results.empty()) {
                if (ec != asio::error::operation_aborted) {
                    log_(fmt::format("upstream {}: cannot resolve: {}", name, ec ? ec.message() : "no address"));
                }
                return;
            }
            master.resolved = FromEndpoint(results.begin()->endpoint());
            master.asked = Clock::now();
            checker_->SendTo(master.resolved, MASTER_QUERY, MASTER_QUERY_SIZE);
        });
}

bool Upstreams::Handle(const ListEntry& from, const unsigned char* data, size_t size) {
    Clock::time_point now = Clock::now();
    for (const Master& master : masters_) {
        if (master.resolved.port == 0 || !(master.resolved == from) || now - master.asked > answer_window_) {
            continue;
        }
        std::vector<ListEntry> servers;
        if (!ParseServersReply(data, size, &servers)) {
            return false;
        }
        // A master on our own host or network may list servers there; one on the internet may not.
        bool local_master = !IsPublicAddress(master.resolved.addr);
        size_t added = 0;
        size_t ignored = 0;
        for (const ListEntry& server : servers) {
            if (!local_master && !IsPublicAddress(server.addr)) {
                ++ignored;
                continue;
            }
            added += store_->Offer(server, now) == OfferResult::Added ? 1 : 0;
        }
        log_(fmt::format("upstream {}:{}: {} servers, {} new{}", master.name.host, master.name.port, servers.size(),
                         added, ignored ? fmt::format(", {} ignored (not public addresses)", ignored) : ""));
        if (store_->HasChecksDue()) {
            checker_->Wake();
        }
        return true;
    }
    return false;
}

} // namespace skerrow_master
