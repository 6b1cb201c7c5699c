// The queries of an unpaced pass still awaiting their reply: a window that keeps the replies on their way few
// enough to fit the socket's receive buffer. Portable (no Win32).
//
// A query is in flight from its send until its reply is accepted or it is older than the expiry. The sender notes
// each query and, when the window is full, waits until it has drained to three quarters; SettleInFlight says when
// that moment has come, so the sender is woken while replies are still arriving. The caller keeps the window under
// one lock for both threads.
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
    bool full = false; // the window reached its limit and the sender waits for room
};

// An empty window over a table of `serverCount` records.
void ResetInFlight(InFlightWindow& window, int32_t serverCount, int32_t limit);

// Drops answered and expired queries from the front; returns whether another may go out. When not, the window is
// full until SettleInFlight reports room.
bool HasRoomInFlight(InFlightWindow& window, uint32_t now, uint32_t expiryMs);

void NoteQueryInFlight(InFlightWindow& window, int32_t index, uint32_t sentAt);

// The query of record `index` is answered (or given up). Returns true exactly when a full window has drained to
// three quarters of its limit: the moment to wake the sender.
bool SettleInFlight(InFlightWindow& window, int32_t index);
