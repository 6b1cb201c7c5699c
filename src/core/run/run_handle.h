// An update run: gathers the servers of every master at once (and the favourites, and the remembered list when no
// master answers), builds the table as they come, and asks every server for its status over UDP, paced, in up to
// three passes, with replies collected on a receiver thread of its own. Portable (no Win32): the same code
// runs in the program and natively under ThreadSanitizer.
//
// A run owns itself: its controller and receiver threads, its socket, its in-flight window, its table and every lock
// and flag they share. It starts from an immutable snapshot and reports only through its RunChannel. Its threads
// never touch a window or anything of the program's; the caller keeps only this handle.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "core/run/run_channel.h"
#include "core/run/run_snapshot.h"

struct UpdateRun;

class RunHandle {
public:
    // Starts the run on a thread of its own. `wake` is the channel's (see run_channel.h), called from the run's
    // threads.
    RunHandle(RunSnapshot snapshot, ListFetcher fetch, RememberedStore remembered, std::function<void()> wake);
    // Stops the run if Stop has not: see there.
    ~RunHandle();
    RunHandle(const RunHandle&) = delete;
    RunHandle& operator=(const RunHandle&) = delete;

    // False when no thread could be had: nothing runs and the channel holds only the end.
    bool Started() const { return started_; }

    // Asks the run to end at its next step; its closing line then says "Aborted". Any thread.
    void Abort();
    bool Aborted() const;

    // Waits up to `ms` milliseconds for the run's threads to finish; returns whether they have.
    bool WaitFinished(uint32_t ms);

    // The taker is going (the window closes): aborts the run, ends the channel's wake-ups (once any call of `wake`
    // under way has returned) and waits up to `ms` milliseconds for the run's threads. Returns whether they ended;
    // a run that has not (a download that hangs) is left to end on its own, holding what it uses.
    bool Stop(uint32_t ms);

    // The taker's side of the channel.
    RunReport Take();
    void AcknowledgeRelease();

private:
    std::shared_ptr<UpdateRun> state_;
    std::thread thread_;
    bool started_ = false;
    bool stopped_ = false;
};

// The run's tuning, named so that benchmarks and tests can say what they measured.
constexpr int QUERY_PASSES = 3;
constexpr uint32_t GRACE_WAIT_MS = 1000;
constexpr size_t REPLY_DATAGRAM_SIZE = 4096;
