#include "windows/app/watching.h"

#include "windows/app/main_window_state.h"

#include "core/watch/buddy_alert_text.h"

std::vector<const ServerRecord*> AnsweredRecords(const ServerTable& table, const std::vector<int32_t>& indexes) {
    std::vector<const ServerRecord*> records;
    records.reserve(indexes.size());
    for (int32_t index : indexes) {
        records.push_back(&table[static_cast<size_t>(index)]);
    }
    return records;
}

namespace {

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

void TakeServerAnswers(MainWindowState& app, const std::vector<const ServerRecord*>& answered, AnswerFrom from) {
    (void)from; // a watched server's reply tells of its buddies as a run's does
    AlertNewBuddies(app, answered);
}

void DoTimedWork(MainWindowState& app) {
    (void)app;
}
