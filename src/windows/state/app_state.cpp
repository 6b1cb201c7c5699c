#include "windows/state/app_state.h"

namespace {

template <typename T> void FreeHeap(T*& block) {
    if (block) {
        HeapFree(GetProcessHeap(), 0, block);
        block = nullptr;
    }
}

} // namespace

AppState* MainWindowState(HWND mainDialog) {
    auto* holder = reinterpret_cast<std::shared_ptr<AppState>*>(GetWindowLongPtrW(mainDialog, DWLP_USER));
    return holder ? holder->get() : nullptr;
}

AppState::~AppState() {
    for (wchar_t*& dir : modFilterDirs) {
        FreeHeap(dir);
    }
    FreeHeap(buddies);
    FreeHeap(modFilterText);
    if (rescaledFont) {
        DeleteObject(rescaledFont);
    }
}

std::vector<std::u16string> ShownMasterNames(const AppState& app) {
    std::vector<std::u16string> names;
    for (const MasterEntry& master : app.tableMasters) {
        names.push_back(FormatMasterEntry(master));
    }
    return names;
}

SourceSet ShownWebMasterSources(const AppState& app) {
    SourceSet sources = 0;
    for (size_t i = 0; i < app.tableMasters.size(); ++i) {
        if (app.tableMasters[i].kind == MasterKind::Web) {
            sources |= MasterSource(static_cast<int>(i));
        }
    }
    return sources;
}
