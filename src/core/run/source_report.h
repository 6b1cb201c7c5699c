// What each source of a run gave, as the Sources window lists it: its name, its kind, what came of it and when.
// Portable (no Win32).
#pragma once

#include <string>
#include <vector>

#include "core/protocol/master_entry.h"
#include "core/run/run_events.h"

struct SourceRow {
    std::u16string source; // a master as it is written, or what the source is
    std::u16string kind;
    std::u16string gave; // servers listed, failed and why, no answer, refused
    std::u16string when; // local time it ended, "17:40:12"; empty while it has not
};

// One row per master of the run in its order, each with its result or, while the run goes, "Asking..." (an aborted
// run's unfinished ones "Aborted"); then the other sources that ended (the LAN, the favourites, the servers played
// on lately, the remembered list), in that order.
std::vector<SourceRow> SourceRows(const std::vector<MasterEntry>& masters, const std::vector<SourceResult>& results,
                                  bool running);
