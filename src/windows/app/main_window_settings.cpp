#include "windows/app/main_window_settings.h"

#include "windows/app/main_window_state.h"

#include <cstring>

#include "core/display/dpi_scale.h"
#include "resource.h"

namespace {

static_assert(sizeof(WINDOWPLACEMENT) == PLACEMENT_SIZE, "the stored placement is the 44-byte structure");

void CheckBox(MainWindowState& app, int id) {
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
void ApplyWindowPlacement(MainWindowState& app, const Settings& settings) {
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

void ApplySettings(MainWindowState& app, Settings settings) {
    app.session.config = settings.config;
    ShowPlayerView(app.players, settings.playerViewDetails != 0);
    app.servers.sortColumn = settings.sortColumn;
    app.servers.showEmpty = settings.showEmpty != 0;
    app.servers.showFull = settings.showFull != 0;
    app.session.lists.favourites = settings.favourites;
    app.session.lists.watched = settings.watched;
    if (app.servers.showEmpty) {
        CheckBox(app, IDC_SHOW_EMPTY);
    }
    if (app.servers.showFull) {
        CheckBox(app, IDC_SHOW_FULL);
    }
    app.modFilters.lastUsed = settings.lastModFilter.substr(0, MOD_DIR_SIZE - 1);
    ApplyWindowPlacement(app, settings);

    if (settings.hasModFilterText) {
        SetModFilterText(app.modFilters, settings.modFilterText);
    }
    ParseBuddyList(app.buddies, app.session.config.buddyText);
}

Settings GatherSettings(MainWindowState& app) {
    Settings settings{};
    settings.config = app.session.config;
    settings.lastModFilter = SelectedModFilterDir(app.modFilters);
    settings.modFilterText = app.modFilters.text.value_or(std::u16string());
    settings.playerViewDetails = app.players.details ? 1 : 0;
    settings.sortColumn = app.servers.sortColumn;
    settings.showEmpty = SendDlgItemMessageW(app.hMainDlg, IDC_SHOW_EMPTY, BM_GETCHECK, 0, 0) == BST_CHECKED;
    settings.showFull = app.servers.showFull ? 1 : 0;
    settings.favourites = app.session.lists.favourites;
    settings.watched = app.session.lists.watched;
    WINDOWPLACEMENT placement{};
    placement.length = sizeof placement;
    settings.hasPlacement = GetWindowPlacement(app.hMainDlg, &placement) != 0;
    placement.rcNormalPosition = RectOf(StoredWindowRect(AnchorOf(placement.rcNormalPosition), app.dpi));
    std::memcpy(settings.placement, &placement, sizeof placement);
    return settings;
}

void EditConfiguration(MainWindowState& app) {
    Configuration config = app.session.config;
    RunConfigDialog(app.hMainDlg, config);
    ApplyConfiguration(app, config);
}

void ApplyConfiguration(MainWindowState& app, const Configuration& config) {
    app.session.config = config;
    ParseBuddyList(app.buddies, config.buddyText);
    RepaintBuddyRows(app.servers.list);
    RepaintBuddyRows(app.players.list);
}
