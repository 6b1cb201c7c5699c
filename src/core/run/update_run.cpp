#include "core/run/update_run.h"

#include <ctime>

#include "core/protocol/list_entry.h"
#include "core/run/query_engine.h"
#include "core/run/query_pacing.h"
#include "core/settings/remembered_list.h"

namespace {

// How long the controller sleeps at most while it waits for the first servers: it is woken by the masters, this only
// bounds a wake-up that went missing.
constexpr uint32_t GATHER_WAIT_MS = 100;

} // namespace

UpdateRun::UpdateRun(RunSnapshot snapshot, ListFetcher fetch, RememberedStore remembered, std::function<void()> wake)
    : snapshot_(std::move(snapshot)), fetch_(std::move(fetch)), remembered_(std::move(remembered)),
      channel_(std::move(wake)), progress_(MakeWakeSignal()),
      table_(MAX_RUN_SERVERS, PacingIntervalMs(snapshot_.packetsPerSecond) == 0, *progress_),
      named_(snapshot_.masters.size() + 1, 0) {}

namespace {

int64_t Now() {
    return static_cast<int64_t>(std::time(nullptr));
}

// The index of the master whose bit `source` is; past every master's for any other.
size_t MasterIndexOf(SourceSet source) {
    for (int index = 0; index < MAX_MASTERS; ++index) {
        if (source == MasterSource(index)) {
            return static_cast<size_t>(index);
        }
    }
    return static_cast<size_t>(MAX_MASTERS);
}

} // namespace

void UpdateRun::Abort() {
    aborted_ = true;
    progress_->Set();
}

void UpdateRun::Main() {
    // The run's first line is shown at once: the answer to the click, never dropped for the lines after it.
    channel_.Push(run_event::Fetching{}, true);
    gathering_ = std::make_shared<MasterGathering>(snapshot_, fetch_, progress_);
    gathering_->Start();
    MergeFavourites();
    // Until the first servers come, every master is done, or the run is aborted.
    while (!tableShown_ && !gatheringOver_ && !aborted_) {
        if (!TakeArrivals()) {
            progress_->Wait(GATHER_WAIT_MS);
        }
    }
    if (!tableShown_) {
        gathering_->Interrupt();
        EndWithoutServers();
        return;
    }
    QueryEngine engine(table_, channel_, *progress_, aborted_, PacingIntervalMs(snapshot_.packetsPerSecond),
                       snapshot_.decodeAnsi);
    bool queried = engine.Run({[this] { return TakeArrivals(); }, [this] { return gatheringOver_; }});
    bool aborted = aborted_;
    // Masters still going when the passes ended (an aborted run's) stop, and nobody waits for them.
    gathering_->Interrupt();
    RunEnd end;
    end.socketFailed = true; // the engine said why
    if (queried) {
        if (!aborted && masterAnswered_ && gatheringOver_) {
            Remember();
        }
        end = ClosingFacts(aborted, engine.OutOfMemory());
    }
    Finish(std::move(end));
}

// Favourites and the servers played on lately are queried in every run, so the table is shown with them at once.
void UpdateRun::MergeFavourites() {
    MergeServers(snapshot_.favourites, SOURCE_FAVOURITE, SOURCE_INDEX_FAVOURITES);
    MergeServers(snapshot_.recent, SOURCE_RECENT, SOURCE_INDEX_RECENT);
}

void UpdateRun::MergeServers(const std::vector<FavouriteServer>& servers, SourceSet source, int32_t sourceIndex) {
    if (servers.empty()) {
        return;
    }
    std::vector<unsigned char> entries(servers.size() * LIST_ENTRY_SIZE);
    for (size_t i = 0; i < servers.size(); ++i) {
        WriteListEntry({servers[i].addr, servers[i].port}, &entries[i * LIST_ENTRY_SIZE]);
    }
    ShowTable();
    MergeCount count = table_.Merge(entries.data(), entries.size(), source);
    SourceResult listed;
    listed.source = sourceIndex;
    listed.listed = true;
    listed.named = servers.size() - count.unqueryable;
    listed.at = Now();
    channel_.Push(run_event::SourceEnded{listed});
    NoteRefused(count);
}

// The table shown so far goes at the window as soon as the new one comes; it is shown before the first server is
// merged into it, and then grows as the servers come.
void UpdateRun::ShowTable() {
    if (tableShown_) {
        return;
    }
    tableShown_ = true;
    channel_.PushTable(table_.Records());
    channel_.Push(run_event::Listing{});
}

void UpdateRun::NoteRefused(const MergeCount& count) {
    if (count.refused > 0 && !tooMany_) {
        tooMany_ = true;
        channel_.Push(run_event::TooManyServers{MAX_RUN_SERVERS});
    }
}

void UpdateRun::Merge(const unsigned char* entries, size_t length, SourceSet source) {
    MergeCount count = table_.Merge(entries, length, source);
    size_t slot = source == SOURCE_LAN ? snapshot_.masters.size() : MasterIndexOf(source);
    if (slot < named_.size()) {
        named_[slot] += length / LIST_ENTRY_SIZE - count.unqueryable;
    }
    NoteRefused(count);
}

void UpdateRun::EndSource(SourceResult result) {
    size_t slot = result.source == SOURCE_INDEX_LAN ? snapshot_.masters.size() : static_cast<size_t>(result.source);
    result.named = slot < named_.size() ? named_[slot] : 0;
    result.at = Now();
    channel_.Push(run_event::SourceEnded{std::move(result)});
}

// Takes what the masters sent since the last look: failures are said, servers merged (the table is shown with the
// first of them), and the masters that listed said done with what they named. Returns whether the table grew.
bool UpdateRun::TakeArrivals() {
    if (aborted_) {
        gathering_->Interrupt();
    }
    if (gatheringOver_ || !gathering_->Pending()) {
        return false;
    }
    std::vector<MasterArrival> arrivals;
    std::vector<MasterEnd> ends;
    bool over = gathering_->Take(arrivals, ends);
    for (const MasterEnd& end : ends) {
        if (end.result.listed && end.result.source != SOURCE_INDEX_LAN) {
            masterAnswered_ = true;
        } else if (!end.result.listed && !end.result.interrupted) {
            failures_.push_back(end.result);
            EndSource(end.result);
        }
    }
    size_t before = table_.Size();
    if (masterAnswered_ || !arrivals.empty()) {
        ShowTable();
    }
    for (const MasterArrival& arrival : arrivals) {
        Merge(arrival.entries.data(), arrival.entries.size(), arrival.source);
    }
    for (const MasterEnd& end : ends) {
        if (end.result.listed || end.result.interrupted) {
            EndSource(end.result);
        }
    }
    if (over) {
        gatheringOver_ = true;
        if (!masterAnswered_) {
            FallBackWhenNoMasterAnswered();
        }
        progress_->Set(); // a wait for every answer may end now
    }
    return table_.Size() > before;
}

// Every master failed: the servers of the last run in which one answered are queried instead, when a sound list of
// this mod filter is there and the user has not aborted the run.
void UpdateRun::FallBackWhenNoMasterAnswered() {
    std::vector<unsigned char> file;
    if (aborted_ || !remembered_.recall || !remembered_.recall(snapshot_.modDir, file)) {
        return;
    }
    RememberedList list;
    RememberedFault fault = DecodeRememberedList(file.data(), file.size(), snapshot_.modDir, &list);
    SourceResult remembered;
    remembered.source = SOURCE_INDEX_REMEMBERED;
    remembered.at = Now();
    if (fault != RememberedFault::None) {
        rememberedFault_ = RememberedFaultText(fault);
        remembered.rememberedFault = rememberedFault_;
        channel_.Push(run_event::SourceEnded{remembered});
        return;
    }
    ShowTable();
    usedRemembered_ = true;
    rememberedAt_ = list.rememberedAt;
    remembered.listed = true;
    remembered.rememberedAt = rememberedAt_;
    remembered.named = list.entries.size() / LIST_ENTRY_SIZE;
    channel_.Push(run_event::SourceEnded{remembered});
    NoteRefused(table_.Merge(list.entries.data(), list.entries.size(), SOURCE_REMEMBERED));
}

// After a run in which a master answered, its masters' servers are kept for this mod filter.
void UpdateRun::Remember() {
    if (!remembered_.remember) {
        return;
    }
    std::vector<unsigned char> file;
    if (EncodeRememberedList(snapshot_.modDir, static_cast<int64_t>(std::time(nullptr)),
                             table_.ServersNamedBy(SOURCE_FAVOURITE - 1), &file)) {
        remembered_.remember(snapshot_.modDir, file);
    }
}

// No source gave a server: the run ends as it always has when its master failed, the shown table left in place.
void UpdateRun::EndWithoutServers() {
    RunEnd end;
    end.aborted = aborted_;
    end.failures = failures_;
    end.rememberedFault = rememberedFault_;
    Finish(std::move(end));
}

// Counted once the receiver has ended, after every accepted reply, so the line and the rows tell the same story.
RunEnd UpdateRun::ClosingFacts(bool aborted, bool outOfMemory) {
    RunEnd end;
    end.queried = true;
    end.aborted = aborted;
    end.responded = table_.Answered();
    end.total = static_cast<int32_t>(table_.Size());
    end.failures = failures_;
    end.usedRemembered = usedRemembered_;
    end.rememberedAt = rememberedAt_;
    end.rememberedFault = rememberedFault_;
    end.outOfMemory = outOfMemory;
    end.recordsMade = table_.Records()->size();
    end.tooMany = tooMany_;
    end.limit = MAX_RUN_SERVERS;
    return end;
}

// The end is pushed before the run counts as finished, so that nothing of the run calls out after a waiter has seen
// it finish.
void UpdateRun::Finish(RunEnd end) {
    channel_.PushEnd(std::move(end));
    finished_ = true;
}
