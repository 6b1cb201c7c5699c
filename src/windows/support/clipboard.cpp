#include "windows/support/clipboard.h"

void CopyToClipboard(HWND owner, const wchar_t* text) {
    if (!OpenClipboard(owner)) {
        return;
    }
    EmptyClipboard();
    size_t bytes = (wcslen(text) + 1) * sizeof(wchar_t);
    // The clipboard owns the memory once it has taken it.
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes);
    if (memory) {
        void* locked = GlobalLock(memory);
        if (locked) {
            CopyMemory(locked, text, bytes);
            GlobalUnlock(memory);
            if (!SetClipboardData(CF_UNICODETEXT, memory)) {
                GlobalFree(memory);
            }
        } else {
            GlobalFree(memory);
        }
    }
    CloseClipboard();
}
