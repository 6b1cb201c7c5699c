// When each watched server is asked next, and what its answers mean: the watch list's timing and its watched
// servers' state. Portable (no Win32); the window's thread owns it.
//
// Real servers bear about 15 status queries a second from everyone who asks, so a watched server gets at most one
// query every WATCH_QUERY_INTERVAL_MS, an update run's queries counted. A query that gets no answer before the next
// is due is missed; after WATCH_MISSES_NOTED missed in a row the server is said to have stopped answering, once,
// until it answers again.
#pragma once

#include <cstdint>
#include <vector>

constexpr uint64_t WATCH_QUERY_INTERVAL_MS = 10000;
constexpr int WATCH_MISSES_NOTED = 3;

// What an answer or a missed one changed for a watched server.
struct WatchChange {
    uint32_t addr = 0; // network byte order
    uint16_t port = 0;
    bool slotFreed = false;   // it was full, and now has room
    bool stopped = false;     // it has now missed WATCH_MISSES_NOTED answers in a row
    bool answersAgain = false; // it answered after it was said to have stopped
};

class WatchSchedule {
public:
    // Watches exactly these servers from now on, keeping what it knew of those it watched already; a new one is
    // due at once.
    void Watch(const std::vector<std::pair<uint32_t, uint16_t>>& servers);
    bool Watching(uint32_t addr, uint16_t port) const;
    bool Empty() const { return servers_.empty(); }

    // The servers due for a query at `nowMs`, each taken as queried then. A server whose last query is still
    // unanswered counts that one missed; such changes go to `changes`.
    std::vector<std::pair<uint32_t, uint16_t>> TakeDue(uint64_t nowMs, std::vector<WatchChange>& changes);
    // A query went to the server otherwise (an update run's) at `atMs`, and was answered already or not; a query
    // known to be later is kept.
    void NoteQueried(uint32_t addr, uint16_t port, uint64_t atMs, bool answered = false);
    // The server answered with `players` of `maxClients`; a change when that says something new.
    bool NoteAnswer(uint32_t addr, uint16_t port, int32_t players, int32_t maxClients, WatchChange& change);
    // Milliseconds from `nowMs` until the next query is due (0: one is due now); UINT64_MAX with nothing watched.
    uint64_t MsUntilDue(uint64_t nowMs) const;

private:
    struct Watched {
        uint32_t addr;
        uint16_t port;
        bool queried = false; // a query went out (the first is due at once)
        uint64_t lastQueryMs = 0;
        bool awaiting = false; // the last query has no answer yet
        int missed = 0;        // in a row
        bool full = false;     // its last answer showed no free slot
        bool heard = false;    // it answered at least once
    };
    Watched* Find(uint32_t addr, uint16_t port);
    const Watched* Find(uint32_t addr, uint16_t port) const;

    std::vector<Watched> servers_;
};
