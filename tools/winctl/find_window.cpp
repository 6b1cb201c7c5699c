#include "find_window.h"

#include <cwchar>

namespace {

struct WindowQuery {
    const wchar_t* title;
    DWORD processId;
    HWND found;
};

BOOL CALLBACK MatchWindow(HWND window, LPARAM context) {
    auto* query = reinterpret_cast<WindowQuery*>(context);
    if (!IsWindowVisible(window)) {
        return TRUE;
    }
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (query->processId != 0 && owner != query->processId) {
        return TRUE;
    }
    wchar_t title[256];
    GetWindowTextW(window, title, 256);
    if (std::wcscmp(title, query->title) != 0) {
        return TRUE;
    }
    query->found = window;
    return FALSE;
}

} // namespace

HWND FindTopLevelWindow(const wchar_t* title, DWORD processId) {
    WindowQuery query{title, processId, nullptr};
    EnumWindows(MatchWindow, reinterpret_cast<LPARAM>(&query));
    return query.found;
}

HWND WaitForTopLevelWindow(const wchar_t* title, DWORD processId, DWORD timeoutMs) {
    DWORD start = GetTickCount();
    for (;;) {
        if (HWND window = FindTopLevelWindow(title, processId)) {
            return window;
        }
        if (GetTickCount() - start >= timeoutMs) {
            return nullptr;
        }
        Sleep(50);
    }
}
