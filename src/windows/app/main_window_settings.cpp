#include "windows/app/main_window_settings.h"

#include "windows/state/app_state.h"

#include <strsafe.h>

#include <cstring>

#include "core/display/dpi_scale.h"
#include "resource.h"
#include "windows/platform/wide.h"
#include "windows/views/buddy_highlight.h"
#include "windows/views/mod_filter_box.h"

namespace {

static_assert(sizeof(WINDOWPLACEMENT) == PLACEMENT_SIZE, "the stored placement is the 44-byte structure");

std::u16string TextOf(const wchar_t* text) {
    return text ? std::u16string(AsU16(text)) : std::u16string();
}

void CheckBox(AppState& app, int id) {
    SendDlgItemMessageW(app.hMainDlg, id, BM_SETCHECK, BST_CHECKED, 0);
}

AnchorRect AnchorOf(const RECT& rect) {
    return AnchorRect{rect.left, rect.top, rect.right, rect.bottom};
}

RECT RectOf(const AnchorRect& rect) {
    return RECT{rect.left, rect.top, rect.right, rect.bottom};
}

// The saved normal position and size (the size kept at 96 DPI, so it means the same at any DPI), applied to the still
// hidden window without showing it; a saved maximised or minimised state is not restored.
void ApplyWindowPlacement(AppState& app, const Settings& settings) {
    if (!settings.hasPlacement) {
        return;
    }
    WINDOWPLACEMENT placement;
    std::memcpy(&placement, settings.placement, sizeof placement);
    placement.rcNormalPosition = RectOf(ShownWindowRect(AnchorOf(placement.rcNormalPosition), app.dpi));
    if (!(GetWindowLongW(app.hMainDlg, GWL_STYLE) & WS_VISIBLE)) {
        placement.showCmd = SW_HIDE;
    }
    SetWindowPlacement(app.hMainDlg, &placement);
}

} // namespace

void ApplySettings(AppState& app, Settings settings) {
    app.config = settings.config;
    app.playerViewDetails = settings.playerViewDetails;
    app.sortColumn = settings.sortColumn;
    app.showEmpty = settings.showEmpty;
    app.showFull = settings.showFull;
    app.favourites = settings.favourites;
    if (app.showEmpty) {
        CheckBox(app, IDC_SHOW_EMPTY);
    }
    if (app.showFull) {
        CheckBox(app, IDC_SHOW_FULL);
    }
    StringCchCopyW(app.lastModFilter, MOD_DIR_SIZE, AsWide(settings.lastModFilter.c_str()));
    ApplyWindowPlacement(app, settings);

    if (settings.hasModFilterText) {
        SetModFilterText(app, settings.modFilterText);
    }
    ParseBuddyList(app);
}

Settings GatherSettings(AppState& app) {
    Settings settings{};
    settings.config = app.config;
    wchar_t selectedDir[MOD_FILTER_DIR_TEXT_SIZE];
    SelectedModFilterDir(app, selectedDir, MOD_FILTER_DIR_TEXT_SIZE);
    settings.lastModFilter = AsU16(selectedDir);
    settings.modFilterText = TextOf(app.modFilterText);
    settings.playerViewDetails = app.playerViewDetails;
    settings.sortColumn = app.sortColumn;
    settings.showEmpty = SendDlgItemMessageW(app.hMainDlg, IDC_SHOW_EMPTY, BM_GETCHECK, 0, 0) == BST_CHECKED;
    settings.showFull = app.showFull;
    settings.favourites = app.favourites;
    WINDOWPLACEMENT placement{};
    placement.length = sizeof placement;
    settings.hasPlacement = GetWindowPlacement(app.hMainDlg, &placement) != 0;
    placement.rcNormalPosition = RectOf(StoredWindowRect(AnchorOf(placement.rcNormalPosition), app.dpi));
    std::memcpy(settings.placement, &placement, sizeof placement);
    return settings;
}

void EditConfiguration(AppState& app) {
    Configuration config = app.config;
    RunConfigDialog(app.hMainDlg, config);
    ApplyConfiguration(app, config);
}

void ApplyConfiguration(AppState& app, const Configuration& config) {
    app.config = config;
    ParseBuddyList(app);
    RepaintBuddyRows(app);
}
