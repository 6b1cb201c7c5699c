#include "core/run/update_run.h"

#include <ctime>

#include "core/protocol/list_entry.h"
#include "core/run/query_engine.h"
#include "core/run/query_pacing.h"
#include "core/run/run_texts.h"
#include "core/settings/remembered_list.h"

namespace {

// How long the controller sleeps at most while it waits for the first servers: it is woken by the masters, this only
// bounds a wake-up that went missing.
constexpr uint32_t GATHER_WAIT_MS = 100;

} // namespace

UpdateRun::UpdateRun(RunSnapshot snapshot, ListFetcher fetch, RememberedStore remembered, std::function<void()> wake)
    : snapshot_(std::move(snapshot)), fetch_(std::move(fetch)), remembered_(std::move(remembered)),
      channel_(std::move(wake)), progress_(MakeWakeSignal()),
      table_(MAX_RUN_SERVERS, PacingIntervalMs(snapshot_.packetsPerSecond) == 0, *progress_) {}

void UpdateRun::Abort() {
    aborted_ = true;
    progress_->Set();
}

void UpdateRun::Main() {
    // The run's first line is shown at once: the answer to the click, never dropped for the lines after it.
    channel_.PushStatus(FetchingText(snapshot_.masters), true);
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
    if (queried) {
        if (!aborted && masterAnswered_ && gatheringOver_) {
            Remember();
        }
        channel_.PushStatus(ClosingLine(aborted, engine.OutOfMemory()), true);
    }
    Finish();
}

// Favourites and the servers played on lately are queried in every run, so the table is shown with them at once.
void UpdateRun::MergeFavourites() {
    MergeServers(snapshot_.favourites, SOURCE_FAVOURITE);
    MergeServers(snapshot_.recent, SOURCE_RECENT);
}

void UpdateRun::MergeServers(const std::vector<FavouriteServer>& servers, SourceSet source) {
    if (servers.empty()) {
        return;
    }
    std::vector<unsigned char> entries(servers.size() * LIST_ENTRY_SIZE);
    for (size_t i = 0; i < servers.size(); ++i) {
        WriteListEntry({servers[i].addr, servers[i].port}, &entries[i * LIST_ENTRY_SIZE]);
    }
    ShowTable();
    Merge(entries.data(), entries.size(), source);
}

// The table shown so far goes at the window as soon as the new one comes; it is shown before the first server is
// merged into it, and then grows as the servers come.
void UpdateRun::ShowTable() {
    if (tableShown_) {
        return;
    }
    tableShown_ = true;
    channel_.PushTable(table_.Records());
    channel_.PushStatus(u"Querying servers...");
}

void UpdateRun::Merge(const unsigned char* entries, size_t length, SourceSet source) {
    MergeCount count = table_.Merge(entries, length, source);
    if (count.refused > 0 && !tooMany_) {
        tooMany_ = true;
        channel_.PushStatus(TooManyServersText(MAX_RUN_SERVERS));
    }
}

// Takes what the masters sent since the last look: failures are said, servers merged (the table is shown with the
// first of them). Returns whether the table grew.
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
        if (end.answered) {
            masterAnswered_ = true;
        } else if (!end.failure.empty()) {
            failures_.push_back(end.failure);
            channel_.PushStatus(end.failure);
        }
    }
    size_t before = table_.Size();
    if (masterAnswered_ || !arrivals.empty()) {
        ShowTable();
    }
    for (const MasterArrival& arrival : arrivals) {
        Merge(arrival.entries.data(), arrival.entries.size(), arrival.source);
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
    if (fault != RememberedFault::None) {
        rememberedFault_ = RememberedIgnoredText(RememberedFaultText(fault));
        channel_.PushStatus(rememberedFault_);
        return;
    }
    ShowTable();
    usedRemembered_ = true;
    rememberedAt_ = list.rememberedAt;
    channel_.PushStatus(RememberedUsedText(list.entries.size() / LIST_ENTRY_SIZE, rememberedAt_));
    Merge(list.entries.data(), list.entries.size(), SOURCE_REMEMBERED);
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
// Where several masters failed, the last line names each of them, so that none is lost behind the next.
void UpdateRun::EndWithoutServers() {
    std::u16string failed = failures_.empty() ? std::u16string() : failures_.back();
    if (failures_.size() > 1) {
        failed = failures_.front();
        for (size_t i = 1; i < failures_.size(); ++i) {
            failed += u" " + failures_[i];
        }
    }
    if (aborted_) {
        channel_.PushStatus(AbortedBeforeServersText(), true);
    } else if (!rememberedFault_.empty()) {
        // The masters' failures, and why the list was not used.
        channel_.PushStatus(failed.empty() ? rememberedFault_ : failed + u" " + rememberedFault_);
    } else if (failures_.size() > 1) {
        channel_.PushStatus(failed);
    }
    Finish();
}

// Counted once the receiver has ended, and pushed after every accepted reply, so the line and the rows tell the same
// story. A master that failed while other sources gave servers is named after the count, and so is a remembered
// list that was not used, and servers the run could not hold.
std::u16string UpdateRun::ClosingLine(bool aborted, bool outOfMemory) {
    int32_t total = static_cast<int32_t>(table_.Size());
    std::u16string closing = ClosingText(aborted, table_.Answered(), total);
    if (usedRemembered_) {
        closing = RememberedClosingText(closing, rememberedAt_);
    } else {
        for (const std::u16string& failure : failures_) {
            closing += u" " + failure;
        }
        if (!rememberedFault_.empty()) {
            closing += u" " + rememberedFault_;
        }
    }
    if (outOfMemory) {
        closing += u" " + TooManyServersText(table_.Records()->size());
    } else if (tooMany_) {
        closing += u" " + TooManyServersText(MAX_RUN_SERVERS);
    }
    return closing;
}

// The end is pushed before the run counts as finished, so that nothing of the run calls out after a waiter has seen
// it finish.
void UpdateRun::Finish() {
    channel_.PushEnd();
    finished_ = true;
}
