// How an accepted status reply reaches the user interface thread. Win32 side.
//
// The receiver thread fills the record in the table itself (under tableLock) and queues the record's index here,
// without waiting for any window. The first index queued while the user interface thread is not coming back anyway
// posts one WM_APP_TAKE_REPLIES to the main dialog; its handler, on that thread, takes every queued index at once,
// marks the records delivered and lists them (ListDeliveredReplies, server_list.cpp), and comes back for more
// TAKE_INTERVAL_MS later until a take finds nothing. So a stream of replies costs the user interface thread one
// batch every TAKE_INTERVAL_MS, not one wake-up per reply. So:
//   - the receiver thread owns a record from its acceptance until its index is queued, and never writes it after;
//   - the queue and the posted-wake flag belong to this file, under its own lock, held only for a push or a take;
//   - the user interface thread reads a record only once it has taken its index (the record's `delivered` flag).
// A worker that must know everything accepted so far is listed and counted (the last reply of a run, the run's end)
// calls DeliverRepliesNow, which has the user interface thread take the queue before it returns.
#pragma once

#include <windows.h>

#include <cstdint>
#include <vector>

// A new run's hand-over starts empty: whatever an earlier run left (its dialog gone) is dropped. Update thread,
// before the receiver starts.
void BeginReplyHandOver();

// Queues a record's index for the user interface thread and wakes it if nothing is waiting yet. Receiver thread.
void HandOverReply(int32_t index);

// Has the user interface thread list everything queued, and waits until it has. Any worker thread; on the user
// interface thread itself the handler runs at once. Does nothing without a main dialog.
void DeliverRepliesNow();

// Takes every queued index into `taken` (emptied first), in the order they were queued. Returns whether it took
// any: then the caller must come back for more (no reply wakes it meanwhile). User interface thread.
bool TakeHandedOverReplies(std::vector<int32_t>& taken);

// How long the user interface thread lets replies gather between takes while they stream in.
constexpr UINT TAKE_INTERVAL_MS = 20;

// WM_APP_TAKE_REPLIES's wParam: the sender waits, and the counts are shown before it goes on.
constexpr WPARAM TAKE_REPLIES_AT_ONCE = 1;
