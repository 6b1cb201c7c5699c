#include "core/run/run_table.h"

RunTable::RunTable(size_t limit, bool unpaced, WakeSignal& progress)
    : progress_(progress), unpaced_(unpaced), records_(std::make_shared<ServerTable>()), index_(limit) {
    ResetInFlight(inFlight_, 0, IN_FLIGHT_LIMIT);
}

MergeCount RunTable::Merge(const unsigned char* entries, size_t length, SourceSet source) {
    MergeCount count;
    std::lock_guard<std::mutex> lock(mutex_);
    for (size_t offset = 0; length - offset >= LIST_ENTRY_SIZE; offset += LIST_ENTRY_SIZE) {
        ListEntry entry = ReadListEntry(entries + offset);
        if (!IsQueryableServer(entry.addr, entry.port)) {
            ++count.unqueryable;
            continue;
        }
        size_t position = 0;
        switch (index_.Add(entry.addr, entry.port, source, &position)) {
        case MergeResult::Added:
            ++count.added;
            break;
        case MergeResult::Known:
            if (position < records_->size()) {
                (*records_)[position].sources.fetch_or(source, std::memory_order_relaxed);
            }
            break;
        case MergeResult::Full:
            ++count.refused;
            break;
        }
    }
    return count;
}

size_t RunTable::Size() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return index_.servers().size();
}

// Records are appended in the run's order as servers are first claimed; the passes claim in that order.
bool RunTable::MakeRecord(size_t index) {
    if (index < records_->size()) {
        return true;
    }
    if (index > records_->size()) {
        return false;
    }
    const SourcedServer& server = index_.servers()[index];
    return records_->Append(server.addr, server.port, server.sources);
}

QueryClaim RunTable::ClaimQuery(size_t index, int32_t attemptsBelow, uint32_t now) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (index >= index_.servers().size()) {
        return {ClaimOutcome::Skip, 0, 0, 0};
    }
    if (!MakeRecord(index)) {
        return {ClaimOutcome::NoMemory, 0, 0, 0};
    }
    ServerRecord& record = (*records_)[index];
    if (record.answered || record.attempts >= attemptsBelow) {
        return {ClaimOutcome::Skip, record.addr, record.port, record.attempts};
    }
    if (unpaced_ && !HasRoomInFlight(inFlight_, now, IN_FLIGHT_EXPIRY_MS)) {
        return {ClaimOutcome::NoRoom, record.addr, record.port, record.attempts};
    }
    record.attempts += 1;
    record.queryTime = now;
    if (unpaced_) {
        NoteQueryInFlight(inFlight_, static_cast<int32_t>(index), now);
    }
    return {ClaimOutcome::Send, record.addr, record.port, record.attempts};
}

void RunTable::QueryNotSent(size_t index) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (unpaced_ && SettleInFlight(inFlight_, static_cast<int32_t>(index))) {
        progress_.Set();
    }
}

ServerRecord* RunTable::AcceptReply(uint32_t addr, uint16_t port, const ReplyReading& reading, int32_t* index,
                                    uint32_t* queryTime) {
    std::lock_guard<std::mutex> lock(mutex_);
    size_t position = 0;
    if (!index_.Find(addr, port, &position) || position >= records_->size()) {
        return nullptr;
    }
    ServerRecord& record = (*records_)[position];
    if (record.queryTime == 0 || record.answered) {
        return nullptr;
    }
    record.answered = 1;
    ++answered_;
    *index = static_cast<int32_t>(position);
    *queryTime = record.queryTime;
    bool room = unpaced_ && SettleInFlight(inFlight_, static_cast<int32_t>(position));
    if (unpaced_ && reading.fresh) {
        NoteFreshReply(inFlight_);
    } else if (unpaced_ && reading.backlogged) {
        NoteReplyBacklog(inFlight_);
    }
    if (room || static_cast<size_t>(answered_) == index_.servers().size()) {
        progress_.Set();
    }
    return &record;
}

bool RunTable::AllAnswered() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return static_cast<size_t>(answered_) == index_.servers().size();
}

int32_t RunTable::Answered() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return answered_;
}

bool RunTable::AnyToRetry(int32_t attemptsBelow) const {
    std::lock_guard<std::mutex> lock(mutex_);
    if (index_.servers().size() > records_->size()) {
        return true; // never asked
    }
    for (size_t i = 0; i < records_->size(); ++i) {
        const ServerRecord& record = (*records_)[i];
        if (!record.answered && record.attempts < attemptsBelow) {
            return true;
        }
    }
    return false;
}

std::vector<ListEntry> RunTable::ServersNamedBy(SourceSet sources) const {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<ListEntry> named;
    for (const SourcedServer& server : index_.servers()) {
        if ((server.sources & sources) != 0) {
            named.push_back({server.addr, server.port});
        }
    }
    return named;
}
