#include "app/main_window_settings.h"

#include "app/app_state.h"

#include <strsafe.h>

#include <cstring>

#include "base/wide.h"
#include "master/mod_filter_box.h"
#include "resource.h"
#include "ui/views/buddy_highlight.h"

namespace {

static_assert(sizeof(WINDOWPLACEMENT) == PLACEMENT_SIZE, "the stored placement is the 44-byte structure");

// A copy of `text` on the process heap, as AppState keeps its texts; null when no memory is left.
wchar_t* HeapText(const std::u16string& text) {
    size_t bytes = (text.size() + 1) * sizeof(wchar_t);
    auto* copy = static_cast<wchar_t*>(HeapAlloc(GetProcessHeap(), 0, bytes));
    if (copy) {
        std::memcpy(copy, text.c_str(), bytes);
    }
    return copy;
}

std::u16string TextOf(const wchar_t* text) {
    return text ? std::u16string(AsU16(text)) : std::u16string();
}

void CheckBox(int id) {
    SendDlgItemMessageW(app.hMainDlg, id, BM_SETCHECK, BST_CHECKED, 0);
}

// The saved normal position and size, applied to the still hidden window without showing it; a saved maximised or
// minimised state is not restored.
void ApplyWindowPlacement(const Settings& settings) {
    if (!settings.hasPlacement) {
        return;
    }
    WINDOWPLACEMENT placement;
    std::memcpy(&placement, settings.placement, sizeof placement);
    if (!(GetWindowLongW(app.hMainDlg, GWL_STYLE) & WS_VISIBLE)) {
        placement.showCmd = SW_HIDE;
    }
    SetWindowPlacement(app.hMainDlg, &placement);
}

} // namespace

void ApplySettings(Settings settings) {
    ApplySettingDefaults(settings);
    app.packetsPerSecond = settings.packetsPerSecond;
    app.playerViewDetails = settings.playerViewDetails;
    app.goodPing = settings.goodPing;
    app.mediumPing = settings.mediumPing;
    app.sortColumn = settings.sortColumn;
    app.showEmpty = settings.showEmpty;
    app.showFull = settings.showFull;
    if (app.showEmpty) {
        CheckBox(IDC_SHOW_EMPTY);
    }
    if (app.showFull) {
        CheckBox(IDC_SHOW_FULL);
    }
    StringCchCopyW(app.gameDir, PATH_TEXT_SIZE, AsWide(settings.gameDir));
    StringCchCopyW(app.gameExe, PATH_TEXT_SIZE, AsWide(settings.gameExe));
    StringCchCopyW(app.lastModFilter, MOD_DIR_SIZE, AsWide(settings.lastModFilter.c_str()));
    ApplyWindowPlacement(settings);

    app.buddyText = HeapText(settings.buddyText);
    if (settings.hasModFilterText) {
        app.modFilterText = HeapText(settings.modFilterText);
    }
    if (app.modFilterText) {
        FillModFilters();
    }
    ParseBuddyList();
}

Settings GatherSettings() {
    Settings settings{};
    StringCchCopyW(AsWide(settings.gameDir), PATH_TEXT_SIZE, app.gameDir);
    StringCchCopyW(AsWide(settings.gameExe), PATH_TEXT_SIZE, app.gameExe);
    wchar_t selectedDir[MOD_FILTER_DIR_TEXT_SIZE];
    SelectedModFilterDir(selectedDir, MOD_FILTER_DIR_TEXT_SIZE);
    settings.lastModFilter = AsU16(selectedDir);
    settings.buddyText = TextOf(app.buddyText);
    settings.modFilterText = TextOf(app.modFilterText);
    settings.packetsPerSecond = app.packetsPerSecond;
    settings.playerViewDetails = app.playerViewDetails;
    settings.goodPing = app.goodPing;
    settings.mediumPing = app.mediumPing;
    settings.sortColumn = app.sortColumn;
    settings.showEmpty = SendDlgItemMessageW(app.hMainDlg, IDC_SHOW_EMPTY, BM_GETCHECK, 0, 0) == BST_CHECKED;
    settings.showFull = app.showFull;
    WINDOWPLACEMENT placement{};
    placement.length = sizeof placement;
    settings.hasPlacement = GetWindowPlacement(app.hMainDlg, &placement) != 0;
    std::memcpy(settings.placement, &placement, sizeof placement);
    return settings;
}

void EditConfiguration() {
    ConfigValues values = CurrentConfiguration();
    RunConfigDialog(app.hMainDlg, values);
    ApplyConfiguration(values);
}

ConfigValues CurrentConfiguration() {
    ConfigValues values{};
    StringCchCopyW(values.gameDir, PATH_TEXT_SIZE, app.gameDir);
    StringCchCopyW(values.gameExe, PATH_TEXT_SIZE, app.gameExe);
    values.packetsPerSecond = app.packetsPerSecond;
    values.goodPing = app.goodPing;
    values.mediumPing = app.mediumPing;
    values.buddyText = app.buddyText;
    return values;
}

void ApplyConfiguration(const ConfigValues& values) {
    StringCchCopyW(app.gameDir, PATH_TEXT_SIZE, values.gameDir);
    StringCchCopyW(app.gameExe, PATH_TEXT_SIZE, values.gameExe);
    app.packetsPerSecond = values.packetsPerSecond;
    app.goodPing = values.goodPing;
    app.mediumPing = values.mediumPing;
    if (values.buddyText != app.buddyText) {
        if (app.buddyText) {
            HeapFree(GetProcessHeap(), 0, app.buddyText);
        }
        app.buddyText = values.buddyText;
    }
    ParseBuddyList();
    RepaintBuddyRows();
}
