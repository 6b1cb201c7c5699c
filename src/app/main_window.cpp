#include "app/main_window.h"

#include "app/app_state.h"

#include <commctrl.h>

#include "app/status_bar.h"
#include "resource.h"

namespace {

constexpr LONG MAIN_MIN_TRACK_WIDTH = 694;
constexpr LONG MAIN_MIN_TRACK_HEIGHT = 447;

void SetWindowIcon(WPARAM which, int width, int height) {
    HANDLE icon = LoadImageW(app.hInstance, MAKEINTRESOURCEW(IDI_APP), IMAGE_ICON, width, height, 0);
    if (icon) {
        SendMessageW(app.hMainDlg, WM_SETICON, which, reinterpret_cast<LPARAM>(icon));
    }
}

BOOL OnInitDialog(HWND window) {
    app.hMainDlg = window;
    InitMainWindow();
    return TRUE;
}

BOOL OnDestroy() {
    // Sockets were started in InitMainWindow; this is their orderly end.
    WSACleanup();
    PostQuitMessage(0);
    return FALSE;
}

BOOL OnGetMinMaxInfo(LPARAM lParam) {
    auto* info = reinterpret_cast<MINMAXINFO*>(lParam);
    info->ptMinTrackSize.x = MAIN_MIN_TRACK_WIDTH;
    info->ptMinTrackSize.y = MAIN_MIN_TRACK_HEIGHT;
    return FALSE;
}

BOOL OnCommand(WPARAM wParam) {
    switch (LOWORD(wParam)) {
    case IDC_EXIT:
        DestroyWindow(app.hMainDlg);
        break;
    }
    return FALSE;
}

} // namespace

void InitApplication(HINSTANCE instance) {
    app.hInstance = instance;

    INITCOMMONCONTROLSEX controls{};
    controls.dwSize = sizeof controls;
    controls.dwICC = ICC_LISTVIEW_CLASSES | ICC_BAR_CLASSES;
    InitCommonControlsEx(&controls);

    InitializeCriticalSection(&app.tableLock);
}

bool CreateMainWindow() {
    // hMainDlg is set inside WM_INITDIALOG, before start-up runs, not from the creation result.
    CreateDialogParamW(app.hInstance, MAKEINTRESOURCEW(IDD_MAIN), nullptr, MainDlgProc, 0);
    if (!app.hMainDlg) {
        return false;
    }
    SetWindowIcon(ICON_SMALL, GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON));
    // The large icon is what the task bar and the task switcher show.
    SetWindowIcon(ICON_BIG, GetSystemMetrics(SM_CXICON), GetSystemMetrics(SM_CYICON));
    return true;
}

INT_PTR CALLBACK MainDlgProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG:
        return OnInitDialog(window);
    case WM_CREATE:
        return TRUE;
    case WM_DESTROY:
        return OnDestroy();
    case WM_CLOSE:
        DestroyWindow(app.hMainDlg);
        return TRUE;
    case WM_GETMINMAXINFO:
        return OnGetMinMaxInfo(lParam);
    case WM_COMMAND:
        return OnCommand(wParam);
    }
    return FALSE;
}

void InitMainWindow() {
    OSVERSIONINFOW version{};
    version.dwOSVersionInfoSize = sizeof version;
    GetVersionExW(&version);

    InitializeCriticalSection(&app.filterLock);

    app.abortEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (!app.abortEvent) {
        PostQuitMessage(1);
        return;
    }

    // List view modes can be switched from Windows XP (5.1) on.
    app.canSetView = version.dwMajorVersion > 5 || (version.dwMajorVersion == 5 && version.dwMinorVersion >= 1);

    WSADATA winsock;
    if (WSAStartup(MAKEWORD(1, 1), &winsock) != 0) {
        MessageBoxW(app.hMainDlg, L"Couldn't load Winsock!", L"Error", MB_OK);
        PostQuitMessage(1);
        return;
    }

    app.serverCount = 0;

    // The status bar goes along the bottom edge; the list views that come before it are built by the view code.
    CreateStatusBar();

    SetWindowTextW(app.hMainDlg, L"Skerrow");
    ShowWindow(app.hMainDlg, SW_SHOWNORMAL);
    UpdateWindow(app.hMainDlg);
}
