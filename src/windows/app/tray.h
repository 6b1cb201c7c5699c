// The notification area: the window hidden to its icon there and brought back, the icon's menu and clicks, the
// icon added again when the shell restarts, and the alerts the icon shows as balloons. One of the main window's
// modules; Win32 side, user interface thread only.
//
// The icon is there while the window is hidden to it, and while the window is shown it is added for an alert and
// stays until the window is brought back through it or the balloons are clicked or time out; bringing the window
// back takes it away (the task bar has the window then).
#pragma once

#include <windows.h>

#include <string>

#include "core/watch/alert_target.h"
#include "windows/support/notify_icon.h"

struct Tray {
    NotifyIcon icon;
    bool hidden = false;     // the window is hidden to the icon
    UINT taskbarCreated = 0; // the shell's "TaskbarCreated" message, registered at start-up
    // The latest alert the shell took: its text and where a click on it leads, and how many were shown.
    std::u16string alertText;
    AlertTarget alertTarget;
    int alertsShown = 0;
    int balloonsUp = 0; // shown and not yet clicked or timed out, as far as the shell has said
};

// What the user asked through the icon, its menu or a balloon; the main window does it.
enum class TrayChoice {
    None,
    Show,       // a click on the icon, or "Show"
    Update,     // as the Update button
    Exit,       // as the Exit button
    ShowTarget, // a click on the alert: the window, with the alert's server (and player) selected
};

// Registers the shell's message; the main window compares every message it gets with `tray.taskbarCreated`.
void InitTray(Tray& tray);

// The close box, with "Keep running in the notification area" on: the window is hidden to the icon. Where the
// shell has no notification area the window is minimised instead, so that it stays within reach.
void HideToTray(Tray& tray, HWND window, HINSTANCE instance);

// Shows the window again, restored and in front, and takes the icon away.
void ShowFromTray(Tray& tray, HWND window);

// WM_APP_TRAY_ICON: what the user chose, the icon's menu shown first for a right click; its Update item reads as
// the Update button does now (`updateCaption`).
TrayChoice TrayChoiceFor(Tray& tray, HWND window, WPARAM wParam, LPARAM lParam, const std::wstring& updateCaption);

// The shell's "TaskbarCreated": the icon, if it was there, is added again.
void OnTaskbarCreated(Tray& tray);

// Shows an alert as a balloon from the icon, adding the icon if it is not there; a click on it leads to `target`.
// False when the shell took neither.
bool ShowAlert(Tray& tray, HWND window, HINSTANCE instance, const std::u16string& text, const AlertTarget& target);

// The window's end: the icon goes.
void EndTray(Tray& tray);
