#include "harness.h"

#include <commctrl.h>

#include <vector>

#include "app/app_state.h"
#include "app/main_window.h"

namespace {

int quitCode = -1;

// Takes a pending WM_QUIT off the queue (and dispatches everything before it).
bool TakeQuit() {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            quitCode = static_cast<int>(message.wParam);
            return true;
        }
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return false;
}

} // namespace

HWND OpenMainWindow() {
    quitCode = -1;
    return CreateMainWindow() ? app.hMainDlg : nullptr;
}

int CloseMainWindow() {
    if (app.hMainDlg && IsWindow(app.hMainDlg)) {
        DestroyWindow(app.hMainDlg);
    }
    if (quitCode == -1) {
        TakeQuit();
    }
    int code = quitCode;

    if (app.abortEvent) {
        CloseHandle(app.abortEvent);
        DeleteCriticalSection(&app.filterLock);
    }
    if (app.servers) {
        HeapFree(GetProcessHeap(), 0, app.servers);
    }
    DeleteCriticalSection(&app.tableLock);
    app = AppState{};
    InitApplication(GetModuleHandleW(nullptr));
    return code;
}

bool PumpUntil(const std::function<bool()>& condition, DWORD timeoutMs) {
    DWORD start = GetTickCount();
    for (;;) {
        if (condition()) {
            return true;
        }
        if (GetTickCount() - start >= timeoutMs) {
            return false;
        }
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.message == WM_QUIT) {
                quitCode = static_cast<int>(message.wParam);
                continue;
            }
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
}

std::wstring WindowText(HWND window) {
    int length = GetWindowTextLengthW(window);
    std::vector<wchar_t> text(length + 1);
    GetWindowTextW(window, text.data(), length + 1);
    return text.data();
}

std::wstring StatusPartText(int part) {
    LRESULT length = LOWORD(SendMessageW(app.hStatusBar, SB_GETTEXTLENGTHW, part, 0));
    std::vector<wchar_t> text(length + 1);
    SendMessageW(app.hStatusBar, SB_GETTEXTW, part, reinterpret_cast<LPARAM>(text.data()));
    return text.data();
}
