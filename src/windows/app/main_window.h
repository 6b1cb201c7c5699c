// The main dialog: creation, message routing and start-up.
#pragma once

#include <windows.h>

#include "core/run/local_networks.h"

struct MainWindowState;

// What the process needs before the main dialog: the common control classes.
void InitApplication();

// Creates the main dialog with a state of its own (start-up runs inside its WM_INITDIALOG) and gives it the
// program's icon. Its update runs search the LAN on the networks `localNetworks` lists: the system's in the program,
// none in tests that must not broadcast on the machine's own. Returns the dialog, or null when it could not be
// created.
HWND CreateMainWindow(HINSTANCE instance, LocalNetworkLister localNetworks = ListBroadcastNetworks);

INT_PTR CALLBACK MainDlgProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Start-up, run inside WM_INITDIALOG. Posts quit with code 1 and stops when Windows Sockets cannot be had.
void InitMainWindow(MainWindowState& app);

// The main window's keys (Ctrl+F) for a message the loop took: true when it was one, sent to the window as its
// command, and the loop is done with the message.
bool TranslateMainWindowKeys(HWND mainDialog, MSG* message);
