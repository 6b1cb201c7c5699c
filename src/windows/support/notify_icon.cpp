#include "windows/support/notify_icon.h"

#include <shellapi.h>
#include <strsafe.h>

namespace {

NOTIFYICONDATAW DataOf(const NotifyIcon& icon, UINT flags) {
    NOTIFYICONDATAW data{};
    data.cbSize = sizeof data;
    data.hWnd = icon.owner;
    data.uID = NOTIFY_ICON_ID;
    data.uFlags = flags;
    return data;
}

bool Add(NotifyIcon& icon) {
    // With version 4 the tip shows only with NIF_SHOWTIP.
    NOTIFYICONDATAW data = DataOf(icon, NIF_MESSAGE | NIF_ICON | NIF_TIP | NIF_SHOWTIP);
    data.uCallbackMessage = icon.callbackMessage;
    data.hIcon = icon.image;
    StringCchCopyW(data.szTip, ARRAYSIZE(data.szTip), icon.tip.c_str());
    // A shell busy starting up can time an add out and still take the icon: it is there when it can be changed.
    if (!Shell_NotifyIconW(NIM_ADD, &data) && !Shell_NotifyIconW(NIM_MODIFY, &data)) {
        return false;
    }
    data.uVersion = NOTIFYICON_VERSION_4;
    Shell_NotifyIconW(NIM_SETVERSION, &data);
    icon.added = true;
    return true;
}

} // namespace

bool AddNotifyIcon(NotifyIcon& icon, HWND owner, UINT callbackMessage, HICON image, const std::wstring& tip) {
    if (icon.image && icon.image != image) {
        DestroyIcon(icon.image);
    }
    icon.owner = owner;
    icon.callbackMessage = callbackMessage;
    icon.image = image;
    icon.tip = tip;
    return icon.added || Add(icon);
}

bool AddNotifyIconAgain(NotifyIcon& icon) {
    if (!icon.added) {
        return true;
    }
    // A shell that restarted has none, but one that only announced itself again may still hold it.
    NOTIFYICONDATAW data = DataOf(icon, 0);
    Shell_NotifyIconW(NIM_DELETE, &data);
    icon.added = false;
    return Add(icon);
}

void RemoveNotifyIcon(NotifyIcon& icon) {
    if (icon.added) {
        NOTIFYICONDATAW data = DataOf(icon, 0);
        Shell_NotifyIconW(NIM_DELETE, &data);
        icon.added = false;
    }
}

void ForgetNotifyIcon(NotifyIcon& icon) {
    RemoveNotifyIcon(icon);
    if (icon.image) {
        DestroyIcon(icon.image);
        icon.image = nullptr;
    }
}

bool ShowNotifyBalloon(NotifyIcon& icon, const std::wstring& title, const std::wstring& text) {
    if (!icon.added) {
        return false;
    }
    NOTIFYICONDATAW data = DataOf(icon, NIF_INFO);
    StringCchCopyW(data.szInfoTitle, ARRAYSIZE(data.szInfoTitle), title.c_str());
    StringCchCopyW(data.szInfo, ARRAYSIZE(data.szInfo), text.c_str());
    data.dwInfoFlags = NIIF_INFO | NIIF_RESPECT_QUIET_TIME;
    return Shell_NotifyIconW(NIM_MODIFY, &data) != 0;
}
