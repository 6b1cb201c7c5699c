#include "windows/state/app_state.h"

// Zero at start; the process's one instance.
AppState app;

namespace {

template <typename T> void FreeHeap(T*& block) {
    if (block) {
        HeapFree(GetProcessHeap(), 0, block);
        block = nullptr;
    }
}

} // namespace

void ReleaseAppState() {
    app.run.reset();
    app.table.reset();
    app.serverCount = 0;
    for (wchar_t*& dir : app.modFilterDirs) {
        FreeHeap(dir);
    }
    app.modFilterCount = 0;
    FreeHeap(app.buddies);
    app.buddyCount = 0;
    app.config.buddyText.clear();
    FreeHeap(app.modFilterText);
}

std::vector<std::u16string> ShownMasterNames() {
    std::vector<std::u16string> names;
    for (const MasterEntry& master : app.tableMasters) {
        names.push_back(FormatMasterEntry(master));
    }
    return names;
}

SourceSet ShownWebMasterSources() {
    SourceSet sources = 0;
    for (size_t i = 0; i < app.tableMasters.size(); ++i) {
        if (app.tableMasters[i].kind == MasterKind::Web) {
            sources |= MasterSource(static_cast<int>(i));
        }
    }
    return sources;
}
