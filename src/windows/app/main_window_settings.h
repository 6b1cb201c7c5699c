// Where the settings and the configuration meet the program: the settings value applied to the main window's state
// and controls at start-up and gathered from them at exit, and the configuration dialog's value given to it and
// applied when it closes. Part of the main window; Win32 side, user interface thread only.
#pragma once

#include "core/settings/settings.h"
#include "windows/dialogs/config_dialog.h"

struct MainWindowState;

// Start-up: takes the settings loaded from the key or those of a first start; checks the Full and Empty boxes they
// name, restores the window's normal placement, fills the mod filter box from a stored filter list and parses the buddy
// list.
void ApplySettings(MainWindowState& app, Settings settings);

// Exit: the settings as the program and its controls hold them now.
Settings GatherSettings(MainWindowState& app);

// The Config button: the dialog with the current configuration, then the edited one applied.
void EditConfiguration(MainWindowState& app);

// Takes the edited configuration: the buddy entries are parsed again and both lists repainted before it returns. The
// registry is written only at exit.
void ApplyConfiguration(MainWindowState& app, const Configuration& config);
