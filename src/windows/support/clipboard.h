// The clipboard, for the server menu's copy of an address. Win32 side.
#pragma once

#include <windows.h>

// Puts `text` on the clipboard as Unicode text, owned by `owner`; nothing when the clipboard cannot be had.
void CopyToClipboard(HWND owner, const wchar_t* text);
