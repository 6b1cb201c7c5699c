// The queries of an unpaced pass still awaiting their reply: a window that keeps the replies on their way few
// enough to fit the socket's receive buffer. Portable (no Win32).
//
// A query is in flight from its send until its reply is accepted or it is older than the expiry. The sender notes
// each query and, when the window is full, waits until it has drained to three quarters; SettleInFlight says when
// that moment has come, so the sender is woken while replies are still arriving. The caller keeps the window under
// one lock for both threads.
//
// The limit follows the servers' reply times: servers that answer slowly keep their queries in flight longer, so a
// fixed limit would throttle the pass to limit / reply time. By Little's law the window holds rate x reply time
// queries at a steady rate, so the limit is IN_FLIGHT_RATE times the smoothed reply time, never below the limit
// the window was reset with (what servers that answer at once need, for replies that fit the socket's buffer) and
// never above IN_FLIGHT_CEILING. Only reply times read while the socket was not backed up are taken, so replies
// that waited in our own socket never make the window grow.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <utility>
#include <vector>

struct InFlightWindow {
    std::vector<uint8_t> awaiting;                 // per table index: a query in flight
    std::deque<std::pair<int32_t, uint32_t>> sent; // index and send time, oldest first; may hold settled ones
    int32_t count = 0;                             // indices with awaiting set
    int32_t limit = 0;
    int32_t floor = 0; // the limit the window was reset with, and its least
    uint32_t smoothedReplyUs = 0;
    int32_t backlogCap = 0; // the most the limit may be since replies last backed up in the socket
    bool full = false;      // the window reached its limit and the sender waits for room
};

// Replies per second that the limit aims at when servers answer slowly, and the most queries ever in flight.
constexpr uint32_t IN_FLIGHT_RATE = 16000;
constexpr int32_t IN_FLIGHT_CEILING = 4096;

// An empty window over a table of `serverCount` records.
void ResetInFlight(InFlightWindow& window, int32_t serverCount, int32_t limit);

// Drops answered and expired queries from the front; returns whether another may go out. When not, the window is
// full until SettleInFlight reports room.
bool HasRoomInFlight(InFlightWindow& window, uint32_t now, uint32_t expiryMs);

// A query went out; an index past the table the window was reset with (the table grew) widens it.
void NoteQueryInFlight(InFlightWindow& window, int32_t index, uint32_t sentAt);

// The query of record `index` is answered (or given up). Returns true exactly when a full window has drained to
// three quarters of its limit: the moment to wake the sender.
bool SettleInFlight(InFlightWindow& window, int32_t index);

// A reply came `replyMs` after its query, read at once (not from a backlog): the limit follows the smoothed time,
// under a cap that grows back by one query a reply.
void NoteReplyTime(InFlightWindow& window, uint32_t replyMs);

// Replies backed up in the socket (the receiver read many without it running dry): more in flight than it drains.
// The cap drops to three quarters of the limit, never below the floor.
void NoteReplyBacklog(InFlightWindow& window);
