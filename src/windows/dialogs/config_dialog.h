// The configuration dialog: game path and executable, buddy list, query rate, ping thresholds, the LAN search and the
// masters. Win32
// side; user interface thread only. It takes the configuration as a value and gives the edited one back; the caller
// applies it. It runs only between update runs (the Config button is disabled during one).
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "core/settings/configuration.h"

// Runs the dialog modally over `owner` with `config` in its fields, the masters as MastersToAsk gives them. OK, Enter
// in a single-line field and the close box read the fields back into `config`, validated, and end it; a master that
// is not one is shown in a message box instead, and the dialog stays open with the masters box focused and nothing
// read back. Escape does nothing.
void RunConfigDialog(HWND owner, Configuration& config);

// The dialog procedure; WM_INITDIALOG's lParam is the Configuration to show and to read back into.
INT_PTR CALLBACK ConfigDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// Reads the fields into `config`: the paths cut to 258 characters, the game path ended with a backslash; the
// numbers as signed decimals, 0 when empty or not a number; the buddy text whole, line breaks included; the masters
// as ParseMasterListText reads them, none when they are the build's default (DefaultMasters, in order); the LAN
// search from its check box. Then
// validates it (ValidateConfiguration). False, with the message for the user in `error` and `config` left as it
// was, when the masters box holds something that is not a master.
bool ReadConfigFields(HWND dialog, Configuration& config, std::u16string* error);
