// What the status line says of an update run: the texts of the events a take brings, and of its end. The window that
// shows a run reads them so (and the engine's tests with it); the run itself never formats a text. Portable (no
// Win32).
#pragma once

#include <string>
#include <vector>

#include "core/protocol/master_entry.h"
#include "core/run/run_channel.h"

struct StatusText {
    std::u16string text;
    bool atOnce; // shown at once, after anything still waiting (a run's closing line); else at the bar's rate
};

class RunStatus {
public:
    // The run asks these masters (a source index names one of them).
    explicit RunStatus(std::vector<MasterEntry> masters) : masters_(std::move(masters)) {}

    // The texts of a take, oldest first. Of each run of texts shown at the bar's rate only the latest one or two are
    // made (core/display/latest_two.h), as the bar would show no other: a stream of replies formats two a take.
    // `table` is the run's table, for the replies' texts.
    std::vector<StatusText> Texts(const RunReport& report, const ServerTable* table) const;

    // A source's failure as the status line says it; empty for one that listed, or was interrupted.
    std::u16string FailureText(const SourceResult& result) const;

    // The run's last texts: its closing line, or what it says when no source gave it a server.
    std::vector<StatusText> EndTexts(const RunEnd& end) const;

private:
    // The text of one event; `atOnce` says how it is shown. Empty when the event says nothing.
    std::u16string EventText(const RunEvent& event, const ServerTable* table, bool* atOnce) const;

    std::vector<MasterEntry> masters_;
};
