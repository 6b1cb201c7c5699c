// The configuration dialog: game path and executable, buddy list, query rate and ping thresholds. Win32 side; user
// interface thread only. It takes the configuration as a value and gives the edited one back; the caller applies
// it. It runs only between update runs (the Config button is disabled during one).
#pragma once

#include <windows.h>

#include <cstdint>

#include "app/settings.h"

struct ConfigValues {
    wchar_t gameDir[PATH_TEXT_SIZE];
    wchar_t gameExe[PATH_TEXT_SIZE];
    int32_t packetsPerSecond;
    int32_t goodPing;
    int32_t mediumPing;
    // On the way in the current buddy text, which the dialog only reads (null is the empty text). On the way out a
    // new process-heap text that the caller takes over, or the same pointer when no memory was left for a new one.
    wchar_t* buddyText;
};

// Runs the dialog modally over `owner` with `values` in its fields. OK, Enter in a single-line field and the close
// box read the fields back into `values` and end it; Escape does nothing.
void RunConfigDialog(HWND owner, ConfigValues& values);

// The dialog procedure; WM_INITDIALOG's lParam is the ConfigValues to show and to read back into.
INT_PTR CALLBACK ConfigDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// Reads the fields into `values`: the paths cut to 258 characters, the game path ended with a backslash; the
// numbers as signed decimals, 0 when empty or not a number; the buddy text whole, line breaks included.
void ReadConfigFields(HWND dialog, ConfigValues& values);
