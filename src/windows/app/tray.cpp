#include "windows/app/tray.h"

#include <shellapi.h>
#include <windowsx.h>

#include "platform/win32/wide.h"
#include "resource.h"
#include "windows/state/app_messages.h"

namespace {

constexpr const wchar_t* TRAY_TIP = L"Skerrow";
constexpr const wchar_t* ALERT_TITLE = L"Skerrow";

enum TrayMenuItem : UINT {
    TRAY_MENU_SHOW = 1,
    TRAY_MENU_UPDATE,
    TRAY_MENU_EXIT,
};

// The program's icon at the notification area's size.
HICON LoadTrayImage(HINSTANCE instance) {
    return static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(IDI_APP), IMAGE_ICON, GetSystemMetrics(SM_CXSMICON),
                                         GetSystemMetrics(SM_CYSMICON), 0));
}

bool AddIcon(Tray& tray, HWND window, HINSTANCE instance) {
    if (tray.icon.added) {
        return true;
    }
    HICON image = tray.icon.image ? tray.icon.image : LoadTrayImage(instance);
    return AddNotifyIcon(tray.icon, window, WM_APP_TRAY_ICON, image, TRAY_TIP);
}

TrayChoice ShowTrayMenu(HWND window, POINT at, const std::wstring& updateCaption) {
    HMENU menu = CreatePopupMenu();
    AppendMenuW(menu, MF_STRING, TRAY_MENU_SHOW, L"Show");
    AppendMenuW(menu, MF_STRING, TRAY_MENU_UPDATE, updateCaption.c_str());
    AppendMenuW(menu, MF_STRING, TRAY_MENU_EXIT, L"Exit");
    SetMenuDefaultItem(menu, TRAY_MENU_SHOW, FALSE);
    // The menu closes when the user clicks elsewhere only if its window is in front, even a hidden one; the posted
    // message lets the next click open it again.
    SetForegroundWindow(window);
    auto chosen = static_cast<UINT>(
        TrackPopupMenu(menu, TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_NONOTIFY, at.x, at.y, 0, window, nullptr));
    PostMessageW(window, WM_NULL, 0, 0);
    DestroyMenu(menu);
    switch (chosen) {
    case TRAY_MENU_SHOW:
        return TrayChoice::Show;
    case TRAY_MENU_UPDATE:
        return TrayChoice::Update;
    case TRAY_MENU_EXIT:
        return TrayChoice::Exit;
    }
    return TrayChoice::None;
}

} // namespace

void InitTray(Tray& tray) {
    tray.taskbarCreated = RegisterWindowMessageW(L"TaskbarCreated");
}

void HideToTray(Tray& tray, HWND window, HINSTANCE instance) {
    if (!AddIcon(tray, window, instance)) {
        ShowWindow(window, SW_MINIMIZE);
        return;
    }
    ShowWindow(window, SW_HIDE);
    tray.hidden = true;
}

void ShowFromTray(Tray& tray, HWND window) {
    ShowWindow(window, IsIconic(window) ? SW_RESTORE : SW_SHOW);
    SetForegroundWindow(window);
    tray.hidden = false;
    tray.balloonsUp = 0; // they go with the icon
    RemoveNotifyIcon(tray.icon);
}

TrayChoice TrayChoiceFor(Tray& tray, HWND window, WPARAM wParam, LPARAM lParam, const std::wstring& updateCaption) {
    if (HIWORD(lParam) != NOTIFY_ICON_ID) {
        return TrayChoice::None;
    }
    switch (LOWORD(lParam)) {
    case NIN_SELECT:    // a click, which version 4 sends after WM_LBUTTONUP
    case NIN_KEYSELECT: // Enter or space on the icon
        return TrayChoice::Show;
    case WM_CONTEXTMENU:
        return ShowTrayMenu(window, POINT{GET_X_LPARAM(wParam), GET_Y_LPARAM(wParam)}, updateCaption);
    case NIN_BALLOONUSERCLICK:
        return TrayChoice::ShowTarget;
    case NIN_BALLOONTIMEOUT:
        // An icon that only came for alerts goes with the last of them.
        tray.balloonsUp = tray.balloonsUp > 0 ? tray.balloonsUp - 1 : 0;
        if (!tray.hidden && tray.balloonsUp == 0) {
            RemoveNotifyIcon(tray.icon);
        }
        return TrayChoice::None;
    }
    return TrayChoice::None;
}

void OnTaskbarCreated(Tray& tray) {
    AddNotifyIconAgain(tray.icon);
}

bool ShowAlert(Tray& tray, HWND window, HINSTANCE instance, const std::u16string& text, const AlertTarget& target) {
    if (!AddIcon(tray, window, instance) || !ShowNotifyBalloon(tray.icon, ALERT_TITLE, AsWide(text.c_str()))) {
        return false;
    }
    tray.alertText = text;
    tray.alertTarget = target;
    ++tray.alertsShown;
    ++tray.balloonsUp;
    return true;
}

void EndTray(Tray& tray) {
    ForgetNotifyIcon(tray.icon);
    tray.hidden = false;
}
