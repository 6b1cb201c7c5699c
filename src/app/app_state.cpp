#include "app/app_state.h"

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
    app.servers = nullptr;
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
