// One icon of the window's in the notification area (Shell_NotifyIcon, NOTIFYICON_VERSION_4): added, taken away,
// added again after the shell has restarted, and the balloons it shows. Win32 side; user interface thread only.
//
// With version 4 the shell sends the callback message with the event in LOWORD(lParam), the icon's id in
// HIWORD(lParam) and the point to anchor a menu at in wParam (GET_X_LPARAM / GET_Y_LPARAM).
#pragma once

#include <windows.h>

#include <string>

constexpr UINT NOTIFY_ICON_ID = 1;

struct NotifyIcon {
    HWND owner = nullptr;
    UINT callbackMessage = 0;
    HICON image = nullptr; // owned; the shell keeps a copy of its own
    std::wstring tip;
    bool added = false; // the shell took it, and it has not been taken away since
};

// Adds the icon (nothing when it is there already) with its tip and callback message, and asks for version 4; false
// when the shell refused it (there may be no notification area). Takes `image` over.
bool AddNotifyIcon(NotifyIcon& icon, HWND owner, UINT callbackMessage, HICON image, const std::wstring& tip);

// The shell has started again (its "TaskbarCreated" message) and knows no icon: an icon that was there is added
// again; false when it was, and the shell refused it.
bool AddNotifyIconAgain(NotifyIcon& icon);

// Takes the icon away; it can be added again. The image is kept.
void RemoveNotifyIcon(NotifyIcon& icon);

// Removes the icon and destroys its image: the window's end.
void ForgetNotifyIcon(NotifyIcon& icon);

// Shows a balloon from the icon, which must be there: the info icon, and nothing while the user is new to the system
// or busy (NIIF_RESPECT_QUIET_TIME). Texts longer than the shell holds are cut. False when the shell refused it.
bool ShowNotifyBalloon(NotifyIcon& icon, const std::wstring& title, const std::wstring& text);
