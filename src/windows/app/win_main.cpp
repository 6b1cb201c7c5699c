// The program's entry point: process set-up, the main dialog and the message loop.
#include "windows/app/main_window.h"
#include "windows/state/app_state.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    InitApplication(instance);
    if (!CreateMainWindow()) {
        return 1;
    }

    MSG message;
    BOOL result;
    while ((result = GetMessageW(&message, nullptr, 0, 0)) > 0) {
        if (!IsDialogMessageW(app.hMainDlg, &message)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
    ReleaseAppState();
    return result == -1 ? 1 : static_cast<int>(message.wParam);
}
