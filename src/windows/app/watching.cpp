#include "windows/app/watching.h"

#include "windows/app/main_window_state.h"

std::vector<const ServerRecord*> AnsweredRecords(const ServerTable& table, const std::vector<int32_t>& indexes) {
    std::vector<const ServerRecord*> records;
    records.reserve(indexes.size());
    for (int32_t index : indexes) {
        records.push_back(&table[static_cast<size_t>(index)]);
    }
    return records;
}

void TakeServerAnswers(MainWindowState& app, const std::vector<const ServerRecord*>& answered, AnswerFrom from) {
    (void)app;
    (void)answered;
    (void)from;
}

void DoTimedWork(MainWindowState& app) {
    (void)app;
}
