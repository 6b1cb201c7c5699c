// The program's entry point: common controls, the table lock, the main dialog and the message loop.
#include "app/app_state.h"
#include "app/main_window.h"

#include <commctrl.h>

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    app.hInstance = instance;

    INITCOMMONCONTROLSEX controls{};
    controls.dwSize = sizeof controls;
    controls.dwICC = ICC_LISTVIEW_CLASSES | ICC_BAR_CLASSES;
    InitCommonControlsEx(&controls);

    // Initialised once and never deleted: worker threads may still hold it when the process ends.
    InitializeCriticalSection(&app.tableLock);

    if (!CreateMainWindow()) {
        return 1;
    }

    MSG message;
    BOOL result;
    while ((result = GetMessageW(&message, nullptr, 0, 0)) != 0) {
        if (result == -1) {
            return 1;
        }
        if (!IsDialogMessageW(app.hMainDlg, &message)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
    return static_cast<int>(message.wParam);
}
