#include "core/run/run_handle.h"

#include "core/run/update_run.h"
#include "core/worker/worker.h"

RunHandle::RunHandle(RunSnapshot snapshot, ListFetcher fetch, RememberedStore remembered, std::function<void()> wake)
    : run_(std::make_shared<UpdateRun>(std::move(snapshot), std::move(fetch), std::move(remembered), std::move(wake))) {
    std::shared_ptr<UpdateRun> run = run_;
    started_ = StartWorker([run] { run->Main(); });
    if (!started_) {
        run_->EndUnstarted();
    }
}

RunHandle::~RunHandle() {
    run_->Abort();
    run_->Channel().Detach();
}

void RunHandle::Abort() {
    run_->Abort();
}

bool RunHandle::Aborted() const {
    return run_->Aborted();
}

bool RunHandle::Finished() const {
    return run_->Finished();
}

RunReport RunHandle::Take() {
    return run_->Channel().Take();
}

const std::vector<MasterEntry>& RunHandle::Masters() const {
    return run_->Masters();
}
