// The watched servers' own status queries: a socket and a receiver thread of their own beside any update run. The
// window's thread says whom to ask and when (core/watch/watch_schedule.h); the answers come back as parsed records
// through one WakingChannel. Portable (no Win32).
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "core/protocol/server_record.h"
#include "core/text/ansi_decoder.h"

// One answer: the server's record as a run's would hold it (answered, with its ping).
using WatchAnswer = std::unique_ptr<ServerRecord>;

class WatchQuerier {
public:
    // Opens the socket and starts the receiver, which calls `wake` (from its thread) when answers wait to be taken.
    // Null, with the system's error, when no socket or thread could be had.
    static std::shared_ptr<WatchQuerier> Start(std::function<void()> wake, AnsiDecoder decode, int& error);

    virtual ~WatchQuerier() = default;
    // Sends one status query to the server now; 0, or the system's error. Only the taker's thread asks.
    virtual int Query(uint32_t addr, uint16_t port) = 0;
    // The answers that came since the last take, oldest first.
    virtual std::vector<WatchAnswer> Take() = 0;
    // The taker is gone: no wake-up comes after this returns, the socket is closed and the receiver ends on its own.
    virtual void Stop() = 0;
};
