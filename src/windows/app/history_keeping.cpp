#include "windows/app/history_keeping.h"

#include "core/text/format.h"
#include "platform/win32/wide.h"

namespace {

std::wstring SetAsideNote(const HistoryLoad& load) {
    const wchar_t* what =
        load.kind == HistoryFileKind::Foreign ? L"was not a server history this version reads" : L"was damaged";
    if (load.setAsideAs.empty()) {
        return fmt::format(L"The server history file {} and couldn't be set aside: this session's history won't be "
                           L"saved",
                           what);
    }
    return fmt::format(L"The server history file {}: it was set aside as \"{}\" and a new history begun", what,
                       AsWide(load.setAsideAs.c_str()));
}

} // namespace

void StartHistory(HistoryKeeping& history, const Configuration& config, ProgramClock& clock) {
    if (!config.keepHistory || history.keeper.Loaded()) {
        return;
    }
    HistoryLoad load = history.keeper.Load(clock.UnixSeconds());
    if (load.found && load.kind != HistoryFileKind::Read) {
        history.note = SetAsideNote(load);
    }
}

void KeepSamples(HistoryKeeping& history, const Configuration& config, ProgramClock& clock,
                 const std::vector<const ServerRecord*>& answered) {
    if (!config.keepHistory || answered.empty()) {
        return;
    }
    StartHistory(history, config, clock);
    int64_t now = clock.UnixSeconds();
    for (const ServerRecord* record : answered) {
        history.keeper.Take(record->addr, record->port,
                            HistorySample{now, record->ping, record->playerCount, record->maxClients});
    }
}

void SaveHistoryWhenDue(HistoryKeeping& history, const Configuration& config, ProgramClock& clock) {
    if (!config.keepHistory) {
        return;
    }
    StartHistory(history, config, clock);
    history.keeper.SaveWhenDue(clock.MonotonicMs(), clock.UnixSeconds());
}

void SaveHistoryAtEnd(HistoryKeeping& history, const Configuration& config, ProgramClock& clock) {
    if (config.keepHistory) {
        history.keeper.SaveNow(clock.UnixSeconds());
    }
}

std::wstring TakeHistoryNote(HistoryKeeping& history) {
    std::wstring note;
    note.swap(history.note);
    return note;
}
