#include "windows/dialogs/about_box.h"

#include "core/run/remembered_files.h"
#include "core/version.h"
#include "platform/win32/settings_key.h"
#include "platform/win32/wide.h"

void AddAboutItem(HWND window) {
    HMENU menu = GetSystemMenu(window, FALSE);
    if (!menu) {
        return;
    }
    AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    AppendMenuW(menu, MF_STRING, SYSTEM_MENU_ABOUT, L"About Skerrow");
}

std::wstring AboutText(const std::wstring& dataFolder) {
    std::wstring text = L"Skerrow " SKERROW_VERSION L"\nA Quake II server browser.\n\n";
    text += L"Settings are kept in the registry under\nHKEY_CURRENT_USER\\";
    text += SETTINGS_KEY;
    text += L"\n\nThe remembered server list is kept in\n";
    text += dataFolder.empty() ? std::wstring(L"(the local application data folder is unknown)") : dataFolder;
    return text;
}

void ShowAboutBox(HWND owner) {
    std::wstring text = AboutText(AsWide(RememberedListFolder().c_str()));
    MessageBoxW(owner, text.c_str(), L"About Skerrow", MB_OK | MB_ICONINFORMATION);
}
