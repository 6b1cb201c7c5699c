#include "windows/app/watching.h"

#include "windows/app/main_window_state.h"

#include <algorithm>

#include <fmt/format.h>
#include <fmt/xchar.h>

#include "core/settings/favourites.h"
#include "core/run/datagram_socket.h"
#include "core/settings/settings_store.h"
#include "core/text/address.h"
#include "core/watch/buddy_alert_text.h"
#include "platform/win32/wide.h"
#include "windows/app/busy_controls.h"
#include "windows/app/history_keeping.h"
#include "windows/app/main_window_settings.h"
#include "windows/launch/game_launcher.h"
#include "windows/state/app_messages.h"

namespace {

// The timed work looks again at least this often, and never sooner than this after it looked.
constexpr uint64_t MOST_TICK_MS = TIMED_WORK_TICK_MS;
constexpr uint64_t LEAST_TICK_MS = 10;

std::wstring AddressText(uint32_t addr, uint16_t port) {
    char16_t address[32];
    FormatServerAddress(address, std::size(address), addr, port);
    return AsWide(address);
}

// The server's name as the shown table last heard it, else its address.
std::wstring NameOf(const MainWindowState& app, uint32_t addr, uint16_t port) {
    const ShownTable& shown = app.session.shown;
    for (int32_t i = 0; i < shown.count; ++i) {
        const ServerRecord& record = shown.At(i);
        if (record.addr == addr && record.port == port && record.delivered && record.hostname[0]) {
            return AsWide(record.hostname);
        }
    }
    return AddressText(addr, port);
}

void ShowSlotWait(MainWindowState& app) {
    const SlotWait& slot = app.watching.slot;
    SetStatus(app.status, fmt::format(L"Waiting for a free slot on {} ({}): Esc cancels",
                                      slot.name.empty() ? L"the server" : AsWide(slot.name.c_str()),
                                      AddressText(slot.addr, slot.port))
                              .c_str());
}

// The servers the watched queries ask: the watch list, and the server a join waits on.
std::vector<std::pair<uint32_t, uint16_t>> ServersToWatch(const MainWindowState& app) {
    std::vector<std::pair<uint32_t, uint16_t>> servers;
    for (const FavouriteServer& server : app.session.lists.watched) {
        servers.emplace_back(server.addr, server.port);
    }
    if (app.watching.slot.waiting) {
        servers.emplace_back(app.watching.slot.addr, app.watching.slot.port);
    }
    return servers;
}

// A dialog of the window's is open: a modal one disables it, a modeless one (the Sources window) is its popup.
bool DialogOpen(HWND window) {
    HWND popup = GetWindow(window, GW_ENABLEDPOPUP);
    return !IsWindowEnabled(window) || (popup && popup != window);
}

bool OwnRunDue(const MainWindowState& app, uint64_t now) {
    const WatchingState& watching = app.watching;
    int32_t minutes = app.session.config.refreshMinutes;
    if (minutes <= 0 || app.session.run.running || app.session.gameSearch || DialogOpen(app.hMainDlg)) {
        return false;
    }
    if (watching.typed && now - watching.lastKeystrokeMs < TYPING_QUIET_MS) {
        return false;
    }
    return !watching.anyRun || now - watching.lastRunStartMs >= static_cast<uint64_t>(minutes) * 60000;
}

void TellChange(MainWindowState& app, const WatchChange& change) {
    std::wstring name = NameOf(app, change.addr, change.port);
    if (change.stopped) {
        SetStatus(app.status, fmt::format(L"{} ({}) has not answered {} queries in a row", name,
                                          AddressText(change.addr, change.port), WATCH_MISSES_NOTED)
                                  .c_str());
    } else if (change.answersAgain) {
        SetStatus(app.status,
                  fmt::format(L"{} ({}) answers again", name, AddressText(change.addr, change.port)).c_str());
    }
}

// A server watched from now on counts the query its run sent it last, if the shown table's run asked it.
void WatchFromNow(MainWindowState& app, uint32_t addr, uint16_t port) {
    WatchingState& watching = app.watching;
    watching.schedule.Watch(ServersToWatch(app));
    const ShownTable& shown = app.session.shown;
    for (int32_t i = 0; i < shown.count; ++i) {
        const ServerRecord& record = shown.At(i);
        if (record.addr == addr && record.port == port && record.delivered && record.queryTime != 0) {
            uint64_t now = app.clock->MonotonicMs();
            uint64_t ago = std::min<uint64_t>(ElapsedMs(record.queryTime, RunClockMs()), now);
            watching.schedule.NoteQueried(addr, port, now - ago, true);
        }
    }
    DoTimedWork(app); // a server no run asked lately is asked at once
}

void AskDueServers(MainWindowState& app, uint64_t now) {
    WatchingState& watching = app.watching;
    watching.schedule.Watch(ServersToWatch(app));
    if (watching.schedule.Empty()) {
        return;
    }
    std::vector<WatchChange> changes;
    auto due = watching.schedule.TakeDue(now, changes);
    for (const WatchChange& change : changes) {
        TellChange(app, change);
    }
    if (due.empty()) {
        return;
    }
    if (!watching.querier && watching.querierError == 0) {
        HWND window = app.hMainDlg;
        int error = 0;
        watching.querier = WatchQuerier::Start([window] { PostMessageW(window, WM_APP_WATCH_REPORT, 0, 0); },
                                               DecodeAnsi, error);
        if (!watching.querier) {
            // Said once: the watched servers are still heard in update runs.
            watching.querierError = error ? error : -1;
            SetStatus(app.status, fmt::format(L"Couldn't query the watched servers: error {}", error).c_str());
        }
    }
    for (const auto& [addr, port] : due) {
        if (watching.querier) {
            watching.querier->Query(addr, port);
        }
    }
}

void JoinAsADoubleClickDoes(MainWindowState& app, uint32_t addr, uint16_t port) {
    JoinServer(JoinHostOf(app), addr, port);
    if (IsWindow(app.hMainDlg)) {
        ShowBusy(app.hMainDlg, app.session); // the search for the game may have begun
    }
}

// The buddies whose appearances these replies began, as one alert. While alerts are off nothing is kept, so that
// turning them on tells of the buddies playing then.
void AlertNewBuddies(MainWindowState& app, const std::vector<const ServerRecord*>& answered) {
    if (!app.session.config.buddyAlerts) {
        app.buddyAppearances.Clear();
        return;
    }
    const std::vector<BuddyName>& names = app.buddies.names;
    std::vector<BuddySighting> began = app.buddyAppearances.TakeReplies(answered, names.data(), names.size());
    if (!began.empty()) {
        BuddyAlert alert = ComposeBuddyAlert(began);
        ShowAlert(app.tray, app.hMainDlg, app.hInstance, alert.text, alert.target);
    }
}

} // namespace

std::vector<const ServerRecord*> AnsweredRecords(const ServerTable& table, const std::vector<int32_t>& indexes) {
    std::vector<const ServerRecord*> records;
    records.reserve(indexes.size());
    for (int32_t index : indexes) {
        records.push_back(&table[static_cast<size_t>(index)]);
    }
    return records;
}

void TakeServerAnswers(MainWindowState& app, const std::vector<const ServerRecord*>& answered, AnswerFrom from) {
    (void)from; // a watched server's reply counts as a run's does, for the history and the buddies alike
    KeepSamples(app.session.history, app.session.config, *app.clock, answered);
    AlertNewBuddies(app, answered);
    WatchingState& watching = app.watching;
    for (const ServerRecord* record : answered) {
        WatchChange change;
        if (watching.schedule.NoteAnswer(record->addr, record->port, record->playerCount, record->maxClients,
                                         change)) {
            TellChange(app, change);
            if (change.slotFreed) {
                std::wstring text = fmt::format(L"A slot is free on {} ({}, {}/{})", AsWide(record->hostname),
                                                AsWide(record->mapname), record->playerCount, record->maxClients);
                SetStatus(app.status, text.c_str());
                ShowAlert(app.tray, app.hMainDlg, app.hInstance, AsU16(text.c_str()),
                          AlertTarget{record->addr, record->port, u""});
            }
        }
        const SlotWait& slot = watching.slot;
        bool room = record->maxClients > 0 && record->playerCount < record->maxClients;
        if (slot.waiting && slot.addr == record->addr && slot.port == record->port && room) {
            watching.slot = SlotWait{};
            JoinAsADoubleClickDoes(app, record->addr, record->port);
            return; // the join may have closed the window
        }
    }
}

bool DoTimedWork(MainWindowState& app) {
    Session& session = app.session;
    // Neither a save (its copy of the servers is made on this thread) nor the note comes during a run: the run's
    // replies have the machine, and its texts would cover the note at once.
    if (!session.run.running) {
        SaveHistoryWhenDue(session.history, session.config, *app.clock);
        std::wstring note = TakeHistoryNote(session.history);
        if (!note.empty()) {
            SetStatus(app.status, note.c_str());
        }
    }
    uint64_t now = app.clock->MonotonicMs();
    AskDueServers(app, now);
    uint64_t wait = std::clamp(app.watching.schedule.MsUntilDue(now), LEAST_TICK_MS, MOST_TICK_MS);
    SetTimer(app.hMainDlg, TIMED_WORK_TIMER_ID, static_cast<UINT>(wait), nullptr);
    return OwnRunDue(app, now);
}

void NoteRunStarted(MainWindowState& app) {
    app.watching.anyRun = true;
    app.watching.lastRunStartMs = app.clock->MonotonicMs();
}

void NoteSearchKeystroke(MainWindowState& app) {
    app.watching.typed = true;
    app.watching.lastKeystrokeMs = app.clock->MonotonicMs();
}

void NoteRunQuery(MainWindowState& app, uint32_t addr, uint16_t port) {
    app.watching.schedule.NoteQueried(addr, port, app.clock->MonotonicMs());
}

void OnRunEnded(MainWindowState& app, const RunEnd& end) {
    (void)end;
    RunState& run = app.session.run;
    run.quiet = false;
    run.waitingTable.reset();
    run.waitingAnswers.clear();
    if (app.watching.slot.waiting) {
        ShowSlotWait(app);
    }
}

void TakeWatchAnswers(MainWindowState& app) {
    // Taken until a take finds nothing, which lets the querier's next answer wake the window again.
    for (;;) {
        if (!app.watching.querier) {
            return;
        }
        std::vector<WatchAnswer> answers = app.watching.querier->Take();
        if (answers.empty()) {
            return;
        }
        std::vector<const ServerRecord*> records;
        for (const WatchAnswer& answer : answers) {
            records.push_back(answer.get());
        }
        HWND window = app.hMainDlg;
        TakeServerAnswers(app, records, AnswerFrom::Watched);
        if (!IsWindow(window)) {
            return;
        }
    }
}

void ToggleWatched(MainWindowState& app, uint32_t addr, uint16_t port) {
    std::vector<FavouriteServer>& watched = app.session.lists.watched;
    if (!RemoveFavourite(&watched, addr, port)) {
        AddFavourite(&watched, addr, port);
    }
    SaveSettings(GatherSettings(app));
    WatchFromNow(app, addr, port);
}

void WaitForSlot(MainWindowState& app, uint32_t addr, uint16_t port, const std::u16string& name) {
    app.watching.slot = SlotWait{true, addr, port, name};
    ShowSlotWait(app);
    WatchFromNow(app, addr, port);
}

bool CancelSlotWait(MainWindowState& app) {
    SlotWait& slot = app.watching.slot;
    if (!slot.waiting) {
        return false;
    }
    SetStatus(app.status,
              fmt::format(L"Stopped waiting for a slot on {}",
                          slot.name.empty() ? AddressText(slot.addr, slot.port) : AsWide(slot.name.c_str()))
                  .c_str());
    slot = SlotWait{};
    return true;
}

void StopWatching(WatchingState& watching) {
    if (watching.querier) {
        watching.querier->Stop();
        watching.querier.reset();
    }
}
