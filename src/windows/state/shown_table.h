// The server table the window shows, and what the run that filled it asked. Win32 side; user interface thread only.
//
// The table is held with the run that fills it, and read only in records the run has handed over (`delivered`):
// `count` is how many records the run has told of, which grows as its masters answer.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/protocol/master_entry.h"
#include "core/protocol/source_set.h"
#include "core/run/server_table.h"

struct ShownTable {
    std::shared_ptr<ServerTable> table;
    int32_t count = 0;
    // The masters the run asked (a record's source bits index them) for this mod filter.
    std::vector<MasterEntry> masters;
    std::u16string modDir;

    // A record of the table, 0 <= index < count.
    ServerRecord& At(int64_t index) const { return (*table)[static_cast<size_t>(index)]; }
    // The masters' names, by their index (a record's SourceSet bits).
    std::vector<std::u16string> MasterNames() const;
    // The source bits of the run's master web services: they list servers per mod filter.
    SourceSet WebMasterSources() const;
};
