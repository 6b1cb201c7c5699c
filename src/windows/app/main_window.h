// The main dialog: creation, message routing and start-up.
#pragma once

#include <windows.h>

// What the process needs before the main dialog: the module handle and the common control classes.
void InitApplication(HINSTANCE instance);

// Creates the main dialog (start-up runs inside its WM_INITDIALOG) and gives it the program's icon. Returns false
// when the dialog could not be created.
bool CreateMainWindow();

INT_PTR CALLBACK MainDlgProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Start-up, run inside WM_INITDIALOG. Posts quit with code 1 and stops when Windows Sockets cannot be had.
void InitMainWindow();
