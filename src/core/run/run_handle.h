// The window's handle on an update run (core/run/update_run.h): it starts the run on a worker of its own, takes its
// reports and lets it go. Portable (no Win32).
//
// The handle never waits for the run: letting it go aborts a run still going, which then finishes on its own state,
// held by its worker, and ends with the process if it is still at work then.
#pragma once

#include <functional>
#include <memory>

#include "core/run/run_channel.h"
#include "core/run/run_snapshot.h"

class UpdateRun;

class RunHandle {
public:
    // Starts the run. `wake` is called from the run's threads (core/worker/waking_channel.h).
    RunHandle(RunSnapshot snapshot, ListFetcher fetch, RememberedStore remembered, std::function<void()> wake);
    // A run still going is aborted; `wake` is not called once this has returned.
    ~RunHandle();
    RunHandle(const RunHandle&) = delete;
    RunHandle& operator=(const RunHandle&) = delete;

    // False when no worker could be had: nothing runs and the channel holds only the end.
    bool Started() const { return started_; }

    // Asks the run to end at its next step; its closing line then says "Aborted". Downloads under way are
    // cancelled.
    void Abort();
    bool Aborted() const;
    // The run's controller and receiver have ended: it no longer uses its socket (its masters' workers, which hold
    // sockets of their own, may still be ending).
    bool Finished() const;

    // Everything reported since the last take.
    RunReport Take();
    // The masters the run asks, in its order (a source index names one of them).
    const std::vector<MasterEntry>& Masters() const;

private:
    std::shared_ptr<UpdateRun> run_;
    bool started_ = false;
};
