// Every server the service knows: candidates (from heartbeats, upstream masters or the state file) waiting for
// their check, and listed servers, which answered one. Only a status reply from exactly the server's address and
// port, to a check the service sent, lists a server or keeps it listed: heartbeats and shutdowns can be forged,
// so they only start a check.
//
// Plain logic with the time passed in, driven by the service's one thread: the checker asks it for the next check to
// send and hands it the replies, and a sweep every fraction of a second retries, re-checks and expires.
//
// Heartbeats can come from forged addresses faster than they can be checked. So the checks of servers that have
// answered before go first, then the first check of each new candidate (newest first), and retries of unanswered
// candidates only with what the pace leaves; and full tables make room by forgetting the candidate that has waited
// longest, never by refusing the newcomer. A real server's one heartbeat is then checked at once while the flood is
// slower than the pace, and has a fair share of the checks when it is faster.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "server_address.h"
#include "server_status.h"
#include "state_file.h"

namespace skerrow_master {

using Clock = std::chrono::steady_clock;

struct StoreLimits {
    size_t max_servers = 32768;    // candidates and listed servers together
    size_t max_candidates = 16384; // of those, waiting for their first answer
    size_t max_per_address = 128;  // servers (any state) on one IPv4 address
};

struct CheckTiming {
    Clock::duration retry_after = std::chrono::seconds(2);        // an unanswered check goes out again after this
    int tries = 3;                                                // checks in a round before it counts as failed
    Clock::duration recheck = std::chrono::seconds(60);           // between rounds of a listed server
    Clock::duration heartbeat_recheck = std::chrono::seconds(60); // a heartbeat starts a round no sooner than this
    Clock::duration expire = std::chrono::seconds(900);           // unlisted after this long without an answer
};

// What happened to a candidate that was offered.
enum class OfferResult { Added, Known, Full, AddressFull, Uncheckable };

// Counts since the last TakeCounts, for the service's periodic summary line.
struct StoreCounts {
    size_t refused = 0;    // candidates not taken: full tables or an address with too many servers
    size_t unverified = 0; // candidates dropped after a round without an answer
    size_t evicted = 0;    // candidates forgotten to make room for newer ones
};

// A listed server as the web page and the API show it.
struct ListedServer {
    ListEntry address;
    std::shared_ptr<const ServerStatus> status; // its latest answer; a restored server's holds only its gamename
    Clock::time_point last_answer;
    Clock::time_point last_heartbeat; // the epoch when none came since the start
};

// What a restart brought back from the state file.
struct RestoreCounts {
    size_t listed = 0;     // listed at once with their saved age
    size_t candidates = 0; // older than the expiry: listed again once they answer
};

class ServerStore {
public:
    using Log = std::function<void(const std::string&)>;

    ServerStore(StoreLimits limits, CheckTiming timing, Log log);

    // A heartbeat or an upstream entry. A known listed server starts a round when its last one is old enough.
    OfferResult Offer(const ListEntry& address, Clock::time_point now);
    // The server says it is leaving: it is unlisted at once and checked once more, in case the shutdown was forged.
    void Shutdown(const ListEntry& address, Clock::time_point now);
    // Listed servers from the state file, all checked at once: listed again with their saved age (a stamp later than
    // now counts as now), or, when older than the expiry (a clock that jumped while the service was down, say),
    // as candidates. Those over the limits are left out.
    RestoreCounts Restore(const std::vector<SavedServer>& saved, Clock::time_point now, int64_t now_seconds);
    // Restored servers whose first round of checks has not ended yet.
    size_t restore_pending() const { return restore_pending_; }

    // The next server to send a status query to, marked as awaiting its reply; none when nothing is due.
    std::optional<ListEntry> NextCheck(Clock::time_point now);
    bool HasChecksDue() const;
    bool Awaiting(const ListEntry& address) const;
    // A status reply from exactly this address and port; taken only while a check of it awaits its answer. The
    // reply's players are kept for the web page and the API until the next answer.
    bool TakeReply(const ListEntry& address, ServerStatus status, Clock::time_point now);
    bool TakeReply(const ListEntry& address, std::string_view gamename, Clock::time_point now) {
        ServerStatus status;
        status.gamename = std::string(gamename);
        return TakeReply(address, std::move(status), now);
    }
    // Retries unanswered checks, starts due rounds, drops failed candidates and expired servers.
    void Sweep(Clock::time_point now);

    // The 6-byte entries of the listed servers whose gamename equals `mod` (ignoring ASCII case; every listed
    // server for an empty mod), at most max_entries.
    void AppendList(std::string_view mod, size_t max_entries, std::string* body) const;
    std::vector<ListEntry> ListedAddresses() const;
    std::vector<ListedServer> Listed() const;
    // The gamenames of the listed servers, once each regardless of case, in byte order.
    std::vector<std::string> ListedGameNames() const;
    std::vector<SavedServer> Snapshot(Clock::time_point now, int64_t now_seconds) const;

    size_t listed() const { return listed_; }
    size_t candidates() const { return servers_.size() - listed_; }
    // Bumped when the list changes (a server listed, unlisted, or its gamename changed) and when any reply is
    // taken (its players may have changed), so the state file, the page and the API are made again when they have
    // moved.
    uint64_t list_version() const { return list_version_; }
    uint64_t answer_version() const { return answer_version_; }
    StoreCounts TakeCounts();
    // Since the last TakeCounts.
    const StoreCounts& counts() const { return counts_; }

private:
    struct Server {
        std::shared_ptr<const ServerStatus> status; // from the latest answer (or the state file); none before one
        Clock::time_point last_answer{};
        Clock::time_point last_heartbeat{};
        Clock::time_point round_started{};
        Clock::time_point sent{};
        Clock::time_point next_round{};
        uint32_t admission = 0; // while an unverified candidate: its place in arrivals_; 0 once it has answered
        uint8_t tries = 0;
        // Bits, so a server fits 72 bytes: every list request walks them all.
        bool listed : 1;
        bool restore_check : 1; // restored, its first round not ended yet
        bool in_round : 1;      // queued or awaiting
        bool queued : 1;
        bool awaiting : 1;

        Server() : listed(false), restore_check(false), in_round(false), queued(false), awaiting(false) {}
    };
    static_assert(sizeof(Server) <= 72, "a server's record stays small");
    using Table = std::unordered_map<uint64_t, Server>;
    // Which queue a due check waits in, first served first.
    enum Priority { KNOWN, NEW, RETRY, PRIORITIES };

    OfferResult Admit(const ListEntry& address);
    Server& Insert(const ListEntry& address);
    Server& InsertCandidate(const ListEntry& address);
    bool EvictOldestCandidate();
    void SettleRestore(Server* server);
    Table::iterator Remove(Table::iterator it, const char* why);
    void StartRound(uint64_t key, Server* server, Clock::time_point now);
    void Enqueue(uint64_t key, Server* server);
    void List(const ListEntry& address, Server* server, std::shared_ptr<const ServerStatus> status, bool restored);
    static const std::string& GameName(const Server& server);
    void Unlist(Server* server);
    // When a listed server's next round starts after one that ended now: at the server's own moment of the re-check
    // cycle, fixed by its address, so the re-checks of servers that answered together spread evenly over the
    // interval and the pace stays steady; half an interval from now at the soonest, one and a half at the latest.
    Clock::time_point NextRound(uint64_t key, Clock::time_point now) const;
    // The sweep's step for one server; returns the iterator past it (it may have been removed).
    Table::iterator SweepOne(Table::iterator it, Clock::time_point now);

    StoreLimits limits_;
    CheckTiming timing_;
    Log log_;
    Table servers_;
    std::unordered_map<uint32_t, uint32_t> per_address_;
    std::deque<uint64_t> due_[PRIORITIES]; // keys waiting for their check to be sent; stale keys are skipped
    // Unverified candidates by arrival: (key, admission); entries whose server has gone or answered are skipped.
    std::deque<std::pair<uint64_t, uint32_t>> arrivals_;
    uint32_t next_admission_ = 1; // never 0, which means verified
    size_t restore_pending_ = 0;
    size_t listed_ = 0;
    uint64_t list_version_ = 0;
    uint64_t answer_version_ = 0;
    StoreCounts counts_;
};

} // namespace skerrow_master
