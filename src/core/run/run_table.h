// The servers of one update run and how far each has got, shared by the run's controller thread (which merges what
// the sources name and claims queries) and its receiver thread (which accepts replies). Portable (no Win32).
//
// Its lock guards all of it: the address index with every server's sources, the records' growth and each record's
// answered, queryTime and attempts, the in-flight window and the count of unanswered servers. The receiver fills the
// rest of a record only after AcceptReply has marked it answered, and hands it to the channel when done; after that
// no thread of the run writes it again but for its sources (an atomic). `progress` is set after every change a
// waiting controller may wait for: room in flight, every server answered.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "core/protocol/list_entry.h"
#include "core/protocol/source_set.h"
#include "core/run/address_index.h"
#include "core/run/datagram_socket.h"
#include "core/run/in_flight.h"
#include "core/run/server_table.h"

// An unpaced run keeps at most this many young queries in flight at first (the window then follows what the receiver
// drains), so that the replies to them fit the socket's buffer whatever it was granted.
constexpr int32_t IN_FLIGHT_LIMIT = 256;
// A query older than this no longer holds its place in flight (its reply is still taken).
constexpr uint32_t IN_FLIGHT_EXPIRY_MS = 250;

// What a merge did with the entries it was given.
struct MergeCount {
    size_t added = 0;       // servers new to the run
    size_t refused = 0;     // new servers turned away: the run holds no more
    size_t unqueryable = 0; // entries that name no game server (IsQueryableServer), left out
};

enum class ClaimOutcome {
    Send,     // the query is the caller's to send
    Skip,     // answered, or asked enough times
    NoRoom,   // an unpaced run has its in-flight window full: wait for progress and claim again
    NoMemory, // no record could be had for the server
};

struct QueryClaim {
    ClaimOutcome outcome;
    uint32_t addr;
    uint16_t port;
    int32_t attempt; // counts from 1
};

// How a reply was read: soon after the receiver woke to an empty socket (its time is the server's), or later in a
// read that went on without the socket running dry (it may have waited there), and whether the receiver is falling
// behind.
struct ReplyReading {
    uint32_t arrival;
    bool fresh;
    bool backlogged;
};

class RunTable {
public:
    // At most `limit` servers. An unpaced run keeps its queries in flight within a window.
    RunTable(size_t limit, bool unpaced, WakeSignal& progress);
    RunTable(const RunTable&) = delete;
    RunTable& operator=(const RunTable&) = delete;

    // The records the window shows; the same table for the run's whole life.
    const std::shared_ptr<ServerTable>& Records() const { return records_; }

    // Merges whole 6-byte entries (a trailing fragment is not one): a new server joins the run's end, a known one
    // gains the source. Controller only.
    MergeCount Merge(const unsigned char* entries, size_t length, SourceSet source);
    // Servers merged so far.
    size_t Size() const;

    // Claims the query of server `index` (below Size) at `now` when it is unanswered and has had fewer than
    // `attemptsBelow` queries; its record is made at its first claim, servers being claimed in order. Controller
    // only.
    QueryClaim ClaimQuery(size_t index, int32_t attemptsBelow, uint32_t now);
    // A claimed query could not be sent: no reply will come to free its place in flight.
    void QueryNotSent(size_t index);

    // The reply from addr:port, when it answers a query of this run not answered yet: marks it answered and returns
    // its record, the receiver's alone from then on until it hands it over; `index` and `queryTime` say which and
    // when it was asked. Null for anything else. Receiver only.
    ServerRecord* AcceptReply(uint32_t addr, uint16_t port, const ReplyReading& reading, int32_t* index,
                              uint32_t* queryTime);

    bool AllAnswered() const;
    int32_t Answered() const;
    // Whether a server is still due a query below `attemptsBelow` (never asked ones included).
    bool AnyToRetry(int32_t attemptsBelow) const;
    // The servers that any of `sources` named, in the run's order.
    std::vector<ListEntry> ServersNamedBy(SourceSet sources) const;

private:
    bool MakeRecord(size_t index);

    WakeSignal& progress_;
    const bool unpaced_;
    const std::shared_ptr<ServerTable> records_;
    mutable std::mutex mutex_;
    AddressIndex index_;      // under mutex_
    InFlightWindow inFlight_; // under mutex_; for the whole run, so a later pass keeps what earlier ones learnt
    int32_t answered_ = 0;    // under mutex_
};
