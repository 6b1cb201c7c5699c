#include "windows/app/watching.h"

#include "windows/app/main_window_state.h"

#include "windows/app/history_keeping.h"

std::vector<const ServerRecord*> AnsweredRecords(const ServerTable& table, const std::vector<int32_t>& indexes) {
    std::vector<const ServerRecord*> records;
    records.reserve(indexes.size());
    for (int32_t index : indexes) {
        records.push_back(&table[static_cast<size_t>(index)]);
    }
    return records;
}

void TakeServerAnswers(MainWindowState& app, const std::vector<const ServerRecord*>& answered, AnswerFrom from) {
    (void)from; // every source's replies are the server's history alike
    KeepSamples(app.session.history, app.session.config, *app.clock, answered);
}

void DoTimedWork(MainWindowState& app) {
    Session& session = app.session;
    SaveHistoryWhenDue(session.history, session.config, *app.clock);
    // A run's texts would cover the note at once: it waits for the run's end.
    if (!session.run.running) {
        std::wstring note = TakeHistoryNote(session.history);
        if (!note.empty()) {
            SetStatus(app.status, note.c_str());
        }
    }
}
