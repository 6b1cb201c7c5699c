// "About Skerrow" in the main window's system menu: the program's version and where it keeps its settings.
// User interface thread only.
#pragma once

#include <windows.h>

#include <string>

// The system menu command; the low four bits of a system command are the system's own.
constexpr UINT SYSTEM_MENU_ABOUT = 0x0010;

// Adds the item, below a separator, to the window's system menu.
void AddAboutItem(HWND window);

// The box's text: the version, the registry key and the folder of the remembered list (empty when unknown).
std::wstring AboutText(const std::wstring& dataFolder);

// Shows the box over `owner` until the user closes it.
void ShowAboutBox(HWND owner);
