// The queries of an unpaced pass still awaiting their reply: a window that keeps the replies on their way few
// enough to fit the socket's receive buffer. Portable (no Win32).
//
// A query is in flight from its send until its reply is accepted or it is older than the expiry. The sender notes
// each query and, when the window is full, waits until it has drained to three quarters; SettleInFlight says when
// that moment has come, so the sender is woken while replies are still arriving. The caller keeps the window under
// one lock for both threads.
//
// The limit follows what the receiver drains. Servers that answer slowly keep their queries in flight longer, so a
// fixed limit would throttle the pass to limit / reply time; instead every reply read at once (the socket had not
// backed up) lets IN_FLIGHT_GROWTH more queries into the window, which so grows several times over within one reply
// time, up to IN_FLIGHT_CEILING. When replies back up in our own socket (the receiver drains fewer than arrive, and
// their times would come out late) the limit is cut to three quarters, never below the limit the window was reset
// with: what servers that answer at once need, for replies that fit the socket's buffer.
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
    bool full = false; // the window reached its limit and the sender waits for room
};

// How many more queries each reply read at once lets into the window, and the most ever in flight.
constexpr int32_t IN_FLIGHT_GROWTH = 4;
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

// A reply was read at once (not from a backlog): the limit grows by IN_FLIGHT_GROWTH, up to the ceiling (or the
// floor, where that is higher).
void NoteFreshReply(InFlightWindow& window);

// Replies backed up in the socket (the receiver read on for a while without it running dry): more in flight than it
// drains. The limit drops to three quarters, never below the floor.
void NoteReplyBacklog(InFlightWindow& window);
