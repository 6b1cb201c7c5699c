// What an update run tells the window that shows it, as facts: the window decides what a user reads of them
// (core/display/run_status.h). Portable (no Win32).
#pragma once

#include <cstdint>
#include <string>
#include <variant>
#include <vector>

#include "core/run/run_snapshot.h"
#include "core/run/udp_master.h"

// The sources of a run that are no master: the numbers where a master's index goes.
constexpr int32_t SOURCE_INDEX_LAN = -1;
constexpr int32_t SOURCE_INDEX_FAVOURITES = -2;
constexpr int32_t SOURCE_INDEX_RECENT = -3;
constexpr int32_t SOURCE_INDEX_REMEMBERED = -4;

// How one source of a run ended. A master web service or a list URL says it with `download`, a classic master
// with `udp`; the LAN, the favourites and the servers played on lately always list.
struct SourceResult {
    int32_t source = 0;  // the master's index in the run's masters, or a SOURCE_INDEX_ value
    bool listed = false; // it gave a list (possibly empty); else it failed
    ListDownload download = ListDownload::Listed;
    UdpMasterResult udp{UdpMasterEnd::Answered, 0};
    bool interrupted = false;       // the run was aborted while it was asked: no failure of its own
    std::u16string rememberedFault; // the remembered list's, when it was there and not used
    int64_t rememberedAt = 0;       // when the remembered list that was used was made (seconds since 1970)
    size_t named = 0;               // servers it named, each once
    int64_t at = 0;                 // when it ended (seconds since 1970)
};

namespace run_event {

// The run began: it asks its masters (the window knows which).
struct Fetching {};
// The run's table is shown, and its servers are asked from now on.
struct Listing {};
// A pass over the table began: attempt 1 asks every server, a later one those that have not answered.
struct PassBegan {
    int32_t attempt;
};
// A query went to a server: its first, or a later one.
struct Query {
    uint32_t addr;
    uint16_t port;
    int32_t attempt;
};
// A query could not be sent, or no socket could be had at all (the run then asks nothing).
struct SendFailed {
    int error;
    bool noSocket;
};
// Record `index` of the shown table answered; from the take on, no thread of the run writes it again.
struct Answered {
    int32_t index;
};
// A source ended (its result says how); one of them a remembered list the run fell back to.
struct SourceEnded {
    SourceResult result;
};
// The sources named more servers than the run holds: only the first `limit` are asked.
struct TooManyServers {
    size_t limit;
};

} // namespace run_event

using RunEvent =
    std::variant<run_event::Fetching, run_event::Listing, run_event::PassBegan, run_event::Query, run_event::SendFailed,
                 run_event::Answered, run_event::SourceEnded, run_event::TooManyServers>;

// How the run ended, for its closing line.
struct RunEnd {
    bool queried = false; // it asked servers; else no source gave one (or no socket could be had)
    bool aborted = false;
    int32_t responded = 0;
    int32_t total = 0;
    std::vector<SourceResult> failures; // the sources that failed, in the order they ended
    bool usedRemembered = false;        // every master failed, and the remembered list was queried
    int64_t rememberedAt = 0;
    std::u16string rememberedFault; // why the remembered list was not used, when it was there
    bool outOfMemory = false;       // records ran out: only `recordsMade` were asked
    size_t recordsMade = 0;
    bool tooMany = false; // more servers were named than `limit`
    size_t limit = 0;
    bool socketFailed = false; // no socket: the line that said so is the last
};
