#include "find_window.h"

#include <cwchar>

namespace {

struct WindowQuery {
    const wchar_t* title;     // or null
    const wchar_t* className; // or null
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
    wchar_t text[256] = L"";
    if (query->title) {
        GetWindowTextW(window, text, 256);
    } else {
        GetClassNameW(window, text, 256);
    }
    if (std::wcscmp(text, query->title ? query->title : query->className) != 0) {
        return TRUE;
    }
    query->found = window;
    return FALSE;
}

} // namespace

HWND FindTopLevelWindow(const wchar_t* title, DWORD processId) {
    WindowQuery query{title, nullptr, processId, nullptr};
    EnumWindows(MatchWindow, reinterpret_cast<LPARAM>(&query));
    return query.found;
}

HWND FindTopLevelWindowOfClass(const wchar_t* className, DWORD processId) {
    WindowQuery query{nullptr, className, processId, nullptr};
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
