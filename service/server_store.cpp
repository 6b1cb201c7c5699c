#include "server_store.h"

#include <algorithm>
#include <map>

#include "core/text/ascii_case.h"

namespace skerrow_master {

ServerStore::ServerStore(StoreLimits limits, CheckTiming timing, Log log)
    : limits_(limits), timing_(timing), log_(std::move(log)) {
    // A live server is asked several times before it could expire, so one lost round never drops it.
    timing_.recheck = std::min(timing_.recheck, timing_.expire / 3);
}

OfferResult ServerStore::Admit(const ListEntry& address) {
    if (!IsQueryableServer(address)) {
        return OfferResult::Uncheckable;
    }
    auto it = per_address_.find(address.addr);
    if (it != per_address_.end() && it->second >= limits_.max_per_address) {
        return OfferResult::AddressFull;
    }
    while (servers_.size() >= limits_.max_servers || candidates() >= limits_.max_candidates) {
        if (!EvictOldestCandidate()) {
            return OfferResult::Full;
        }
    }
    return OfferResult::Added;
}

ServerStore::Server& ServerStore::Insert(const ListEntry& address) {
    ++per_address_[address.addr];
    return servers_[AddressKey(address)];
}

ServerStore::Server& ServerStore::InsertCandidate(const ListEntry& address) {
    // Entries of candidates that have gone or answered are dropped once they outnumber the live ones.
    if (arrivals_.size() > 2 * candidates() + 64) {
        std::deque<std::pair<uint64_t, uint32_t>> live;
        for (const auto& [key, admission] : arrivals_) {
            auto it = servers_.find(key);
            if (it != servers_.end() && it->second.admission == admission) {
                live.emplace_back(key, admission);
            }
        }
        arrivals_.swap(live);
    }
    Server& server = Insert(address);
    server.admission = next_admission_++;
    next_admission_ += next_admission_ == 0 ? 1 : 0;
    arrivals_.emplace_back(AddressKey(address), server.admission);
    return server;
}

bool ServerStore::EvictOldestCandidate() {
    while (!arrivals_.empty()) {
        auto [key, admission] = arrivals_.front();
        arrivals_.pop_front();
        auto it = servers_.find(key);
        if (it != servers_.end() && it->second.admission == admission) {
            ++counts_.evicted;
            Remove(it, "");
            return true;
        }
    }
    return false;
}

void ServerStore::SettleRestore(Server* server) {
    if (server->restore_check) {
        server->restore_check = false;
        --restore_pending_;
    }
}

bool ServerStore::HasChecksDue() const {
    return !due_[KNOWN].empty() || !due_[NEW].empty() || !due_[RETRY].empty();
}

ServerStore::Table::iterator ServerStore::Remove(Table::iterator it, const char* why) {
    ListEntry address = AddressFromKey(it->first);
    if (it->second.listed) {
        Unlist(&it->second);
        log_("unlisted " + FormatAddress(address) + ": " + why);
    }
    auto count = per_address_.find(address.addr);
    if (count != per_address_.end() && --count->second == 0) {
        per_address_.erase(count);
    }
    SettleRestore(&it->second);
    return servers_.erase(it);
}

void ServerStore::StartRound(uint64_t key, Server* server, Clock::time_point now) {
    server->in_round = true;
    server->awaiting = false;
    server->tries = 0;
    server->round_started = now;
    Enqueue(key, server);
}

void ServerStore::Enqueue(uint64_t key, Server* server) {
    if (server->queued) {
        return;
    }
    server->queued = true;
    Priority priority = server->admission == 0 ? KNOWN : server->tries == 0 ? NEW : RETRY;
    due_[priority].push_back(key);
    // First checks are sent newest first (below), so those left at the front when more arrive than the pace sends
    // would never go: beyond what the table can hold, the oldest is given up.
    if (priority == NEW && due_[NEW].size() > limits_.max_candidates) {
        auto oldest = servers_.find(due_[NEW].front());
        due_[NEW].pop_front();
        // Never the server being queued (its key may sit at the front from an earlier life).
        if (oldest != servers_.end() && oldest->first != key && oldest->second.queued &&
            oldest->second.admission != 0) {
            ++counts_.evicted;
            Remove(oldest, "");
        }
    }
}

const std::string& ServerStore::GameName(const Server& server) {
    static const std::string none;
    return server.status ? server.status->gamename : none;
}

void ServerStore::List(const ListEntry& address, Server* server, std::shared_ptr<const ServerStatus> status,
                       bool restored) {
    const std::string& gamename = status->gamename;
    bool changed = true;
    if (!server->listed) {
        server->listed = true;
        ++listed_;
        if (!restored) { // a restart would otherwise log the whole list again
            log_("listed " + FormatAddress(address) + " gamename=" + gamename);
        }
    } else if (GameName(*server) != gamename) {
        log_("gamename " + FormatAddress(address) + " " + GameName(*server) + " -> " + gamename);
    } else {
        changed = false;
    }
    server->status = std::move(status);
    server->admission = 0;
    list_version_ += changed ? 1 : 0;
}

void ServerStore::Unlist(Server* server) {
    server->listed = false;
    --listed_;
    ++list_version_;
}

OfferResult ServerStore::Offer(const ListEntry& address, Clock::time_point now) {
    uint64_t key = AddressKey(address);
    auto it = servers_.find(key);
    if (it != servers_.end()) {
        Server& server = it->second;
        server.last_heartbeat = now;
        if (server.listed && !server.in_round && now - server.round_started >= timing_.heartbeat_recheck) {
            StartRound(key, &server, now);
        }
        return OfferResult::Known;
    }
    OfferResult admitted = Admit(address);
    if (admitted == OfferResult::Added) {
        Server& server = InsertCandidate(address);
        server.last_heartbeat = now;
        StartRound(key, &server, now);
    } else if (admitted != OfferResult::Uncheckable) {
        ++counts_.refused;
    }
    return admitted;
}

void ServerStore::Shutdown(const ListEntry& address, Clock::time_point now) {
    uint64_t key = AddressKey(address);
    auto it = servers_.find(key);
    if (it == servers_.end() || !it->second.listed) {
        return;
    }
    Unlist(&it->second);
    log_("unlisted " + FormatAddress(address) + ": shutdown");
    StartRound(key, &it->second, now);
}

RestoreCounts ServerStore::Restore(const std::vector<SavedServer>& saved, Clock::time_point now, int64_t now_seconds) {
    RestoreCounts counts;
    // Those young enough to list first, so candidates never push them out.
    for (bool young : {true, false}) {
        for (const SavedServer& entry : saved) {
            auto age = std::chrono::seconds(std::max<int64_t>(0, now_seconds - entry.last_answer));
            if ((age < timing_.expire) != young || servers_.count(AddressKey(entry.address)) ||
                Admit(entry.address) != OfferResult::Added) {
                continue;
            }
            Server& server = young ? Insert(entry.address) : InsertCandidate(entry.address);
            if (young) {
                server.last_answer = now - age;
                auto status = std::make_shared<ServerStatus>();
                status->gamename = entry.gamename;
                List(entry.address, &server, std::move(status), true);
                ++counts.listed;
            } else {
                ++counts.candidates;
            }
            server.restore_check = true;
            ++restore_pending_;
            StartRound(AddressKey(entry.address), &server, now);
        }
    }
    return counts;
}

std::optional<ListEntry> ServerStore::NextCheck(Clock::time_point now) {
    for (std::deque<uint64_t>* due = due_; due != due_ + PRIORITIES;) {
        if (due->empty()) {
            ++due;
            continue;
        }
        // Newest first among first checks: when heartbeats come faster than the pace, a real server's is still
        // checked while it is fresh, instead of after a backlog of forged ones that are pushed out before their turn.
        uint64_t key = due == &due_[NEW] ? due->back() : due->front();
        due == &due_[NEW] ? due->pop_back() : due->pop_front();
        auto it = servers_.find(key);
        if (it == servers_.end() || !it->second.queued) {
            continue;
        }
        Server& server = it->second;
        server.queued = false;
        server.awaiting = true;
        server.sent = now;
        ++server.tries;
        return AddressFromKey(key);
    }
    return std::nullopt;
}

bool ServerStore::Awaiting(const ListEntry& address) const {
    auto it = servers_.find(AddressKey(address));
    return it != servers_.end() && it->second.awaiting;
}

bool ServerStore::TakeReply(const ListEntry& address, ServerStatus status, Clock::time_point now) {
    auto it = servers_.find(AddressKey(address));
    if (it == servers_.end() || !it->second.awaiting) {
        return false;
    }
    Server& server = it->second;
    server.awaiting = server.queued = server.in_round = false;
    server.last_answer = now;
    server.next_round = NextRound(it->first, now);
    SettleRestore(&server);
    ++answer_version_;
    List(address, &server, std::make_shared<const ServerStatus>(std::move(status)), false);
    return true;
}

Clock::time_point ServerStore::NextRound(uint64_t key, Clock::time_point now) const {
    using Ticks = Clock::duration::rep;
    Ticks period = timing_.recheck.count();
    if (period <= 0) {
        return now;
    }
    // The address, mixed (splitmix64's finaliser), picks the server's moment of the cycle.
    uint64_t mixed = key;
    mixed = (mixed ^ (mixed >> 30)) * 0xBF58476D1CE4E5B9ull;
    mixed = (mixed ^ (mixed >> 27)) * 0x94D049BB133111EBull;
    mixed ^= mixed >> 31;
    Ticks phase = static_cast<Ticks>(mixed % static_cast<uint64_t>(period));
    Ticks earliest = (now + timing_.recheck / 2).time_since_epoch().count();
    Ticks wait = ((phase - earliest) % period + period) % period;
    return Clock::time_point(Clock::duration(earliest + wait));
}

ServerStore::Table::iterator ServerStore::SweepOne(Table::iterator it, Clock::time_point now) {
    Server& server = it->second;
    if (server.listed && now - server.last_answer >= timing_.expire) {
        return Remove(it, "no answer for the expiry time");
    }
    if (server.awaiting && now - server.sent >= timing_.retry_after) {
        server.awaiting = false;
        if (server.tries < timing_.tries) {
            Enqueue(it->first, &server);
            return std::next(it);
        }
        server.in_round = false;
        SettleRestore(&server);
        if (!server.listed) {
            ++counts_.unverified;
            return Remove(it, "");
        }
        server.next_round = NextRound(it->first, now);
    }
    if (server.listed && !server.in_round && now >= server.next_round) {
        StartRound(it->first, &server, now);
    }
    return std::next(it);
}

void ServerStore::Sweep(Clock::time_point now) {
    for (auto it = servers_.begin(); it != servers_.end();) {
        it = SweepOne(it, now);
    }
}

void ServerStore::AppendList(std::string_view mod, size_t max_entries, std::string* body) const {
    size_t count = 0;
    for (const auto& [key, server] : servers_) {
        if (count == max_entries) {
            return;
        }
        if (server.listed && (mod.empty() || EqualsIgnoringAsciiCase(GameName(server), mod))) {
            AppendListEntry(body, AddressFromKey(key));
            ++count;
        }
    }
}

std::vector<ListEntry> ServerStore::ListedAddresses() const {
    std::vector<ListEntry> addresses;
    addresses.reserve(listed_);
    for (const auto& [key, server] : servers_) {
        if (server.listed) {
            addresses.push_back(AddressFromKey(key));
        }
    }
    return addresses;
}

std::vector<ListedServer> ServerStore::Listed() const {
    std::vector<ListedServer> listed;
    listed.reserve(listed_);
    for (const auto& [key, server] : servers_) {
        if (server.listed) {
            listed.push_back({AddressFromKey(key), server.status, server.last_answer, server.last_heartbeat});
        }
    }
    return listed;
}

std::vector<std::string> ServerStore::ListedGameNames() const {
    // By folded name, the spelling that sorts first, so the answer does not depend on the table's order.
    std::map<std::string, std::string> spellings;
    for (const auto& [key, server] : servers_) {
        if (server.listed) {
            const std::string& gamename = GameName(server);
            auto [it, added] = spellings.emplace(FoldedAscii<char>(gamename), gamename);
            if (!added && gamename < it->second) {
                it->second = gamename;
            }
        }
    }
    std::vector<std::string> names;
    for (auto& [folded, spelling] : spellings) {
        names.push_back(std::move(spelling));
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::vector<SavedServer> ServerStore::Snapshot(Clock::time_point now, int64_t now_seconds) const {
    std::vector<SavedServer> saved;
    saved.reserve(listed_);
    for (const auto& [key, server] : servers_) {
        if (server.listed) {
            auto age = std::chrono::duration_cast<std::chrono::seconds>(now - server.last_answer).count();
            saved.push_back({AddressFromKey(key), now_seconds - age, GameName(server)});
        }
    }
    return saved;
}

StoreCounts ServerStore::TakeCounts() {
    StoreCounts taken = counts_;
    counts_ = {};
    return taken;
}

} // namespace skerrow_master
