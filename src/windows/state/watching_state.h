// What the window keeps for the work it does on its own (windows/app/watching.h): the watched servers' schedule and
// their querier, the join that waits for a slot, and when the last run began and the last search keystroke came.
// Win32 side; user interface thread only.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "core/watch/watch_querier.h"
#include "core/watch/watch_schedule.h"

// A search keystroke holds the program's own run off this long: the list must not change under the user's typing.
constexpr uint64_t TYPING_QUIET_MS = 2000;

// The join that waits for a slot on a full server.
struct SlotWait {
    bool waiting = false;
    uint32_t addr = 0; // network byte order
    uint16_t port = 0;
    std::u16string name; // as the list showed it when the wait began
};

struct WatchingState {
    WatchSchedule schedule;
    std::shared_ptr<WatchQuerier> querier; // started with the first watched query
    int querierError = 0;                  // why none could be had, once said
    SlotWait slot;
    bool anyRun = false; // a run has started since the window opened
    uint64_t lastRunStartMs = 0;
    bool typed = false;
    uint64_t lastKeystrokeMs = 0;
};
