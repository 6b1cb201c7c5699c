#include "windows/state/shown_table.h"

std::vector<std::u16string> ShownTable::MasterNames() const {
    std::vector<std::u16string> names;
    for (const MasterEntry& master : masters) {
        names.push_back(FormatMasterEntry(master));
    }
    return names;
}

SourceSet ShownTable::WebMasterSources() const {
    SourceSet sources = 0;
    for (size_t i = 0; i < masters.size(); ++i) {
        if (masters[i].kind == MasterKind::Web) {
            sources |= MasterSource(static_cast<int>(i));
        }
    }
    return sources;
}
