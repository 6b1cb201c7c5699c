// The program's entry point: process set-up, the main dialog and the message loop.
#include "windows/app/main_window.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    InitApplication();
    HWND mainDialog = CreateMainWindow(instance);
    if (!mainDialog) {
        return 1;
    }

    MSG message;
    BOOL result;
    while ((result = GetMessageW(&message, nullptr, 0, 0)) > 0) {
        if (!TranslateMainWindowKeys(mainDialog, &message) && !IsDialogMessageW(mainDialog, &message)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
    return result == -1 ? 1 : static_cast<int>(message.wParam);
}
