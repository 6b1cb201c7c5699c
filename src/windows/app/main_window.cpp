#include "windows/app/main_window.h"

#include "windows/state/app_state.h"

#include <commctrl.h>

#include "resource.h"
#include "windows/app/main_window_settings.h"
#include "windows/app/mod_filter_download.h"
#include "windows/app/run_controller.h"
#include "windows/app/server_menu.h"
#include "windows/launch/game_launcher.h"
#include "windows/launch/game_search.h"
#include "windows/platform/settings_store.h"
#include "windows/platform/win_holders.h"
#include "windows/state/app_messages.h"
#include "windows/views/buddy_highlight.h"
#include "windows/views/main_anchors.h"
#include "windows/views/mod_filter_box.h"
#include "windows/views/player_list.h"
#include "windows/views/server_list.h"
#include "windows/views/sizer.h"
#include "windows/views/status_bar.h"

// The main dialog is where the program's modules meet: its procedure routes each message to a handler, and each
// handler calls down into the modules that do the work. No module below calls another sideways or up.
namespace {

constexpr LONG MAIN_MIN_TRACK_WIDTH = 694;
constexpr LONG MAIN_MIN_TRACK_HEIGHT = 447;
// How long closing waits for an aborted run's threads while the window goes on answering, and how long the window's
// end waits for them at most when it is destroyed without that (the game started, say).
constexpr UINT CLOSE_WAIT_MS = 3000;
constexpr uint32_t DESTROY_WAIT_MS = 1000;
constexpr UINT_PTR CLOSE_TIMER_ID = 0x434C;
// How long the user interface thread lets replies gather between takes while they stream in.
constexpr UINT TAKE_INTERVAL_MS = 20;
constexpr UINT_PTR TAKE_TIMER_ID = 0x5452;

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

// Settings are saved first, as the window is; then a run still going is aborted and its threads waited for, and
// only when they have ended does Winsock go. One that does not end in time (a download that hangs) is left to the
// process's end, and so is Winsock.
BOOL OnDestroy() {
    EndGameSearchForExit(app.hMainDlg);
    SaveSettings(GatherSettings());
    bool runEnded = true;
    if (app.run) {
        runEnded = app.run->Stop(DESTROY_WAIT_MS);
        app.run.reset();
        app.updateRunning = 0;
    }
    if (runEnded) {
        WSACleanup();
    }
    app.hMainDlg = nullptr;
    app.hServerList = nullptr;
    app.hPlayerList = nullptr;
    app.hStatusBar = nullptr;
    PostQuitMessage(0);
    return FALSE;
}

void CALLBACK OnCloseTimer(HWND window, UINT, UINT_PTR id, DWORD) {
    KillTimer(window, id);
    DestroyWindow(window);
}

// The close box and Exit: a run still going is aborted first, and the window closes at its end (EndUpdateRun), or
// after CLOSE_WAIT_MS, answering all the while.
void CloseWhenRunEnds() {
    if (!app.updateRunning || app.closing) {
        DestroyWindow(app.hMainDlg);
        return;
    }
    app.closing = true;
    ToggleUpdate();
    SetTimer(app.hMainDlg, CLOSE_TIMER_ID, CLOSE_WAIT_MS, OnCloseTimer);
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
        CloseWhenRunEnds();
        break;
    case IDC_UPDATE:
        // While the game is searched for, Update reads "Stop".
        if (!StopGameSearch(app.hMainDlg)) {
            ToggleUpdate();
        }
        break;
    case IDCANCEL: // Esc
        StopGameSearch(app.hMainDlg);
        break;
    case IDC_CONFIG:
        EditConfiguration();
        break;
    case IDC_MOD_FILTER:
        if (HIWORD(wParam) == CBN_SELCHANGE) {
            ToggleUpdate();
        }
        break;
    case IDC_SHOW_FULL:
    case IDC_SHOW_EMPTY:
        if (HIWORD(wParam) == BN_CLICKED) {
            RefilterServerList();
        }
        break;
    }
    return FALSE;
}

// Messages whose sender reads a result: it goes back through DWLP_MSGRESULT.
BOOL ReturnResult(LONG_PTR result) {
    SetWindowLongPtrW(app.hMainDlg, DWLP_MSGRESULT, result);
    return TRUE;
}

INT_PTR OnServerListNotify(NMHDR* header) {
    switch (header->code) {
    case NM_RCLICK:
        // The settings are written at exit; the favourites also at once, so that a crash does not lose them.
        if (ShowServerMenu(*reinterpret_cast<NMITEMACTIVATE*>(header))) {
            SaveSettings(GatherSettings());
        }
        return FALSE;
    case NM_DBLCLK:
        ConnectToServer(*reinterpret_cast<NMITEMACTIVATE*>(header));
        return FALSE;
    }
    return OnServerListViewNotify(header);
}

INT_PTR OnNotify(LPARAM lParam) {
    auto* header = reinterpret_cast<NMHDR*>(lParam);
    HWND list = header->idFrom == IDC_SERVER_LIST   ? app.hServerList
                : header->idFrom == IDC_PLAYER_LIST ? app.hPlayerList
                                                    : nullptr;
    if (!list) {
        return FALSE;
    }
    if (header->code == NM_CUSTOMDRAW) {
        return ReturnResult(OnListCustomDraw(list, reinterpret_cast<NMLVCUSTOMDRAW*>(header)));
    }
    if (header->code == LVN_DELETEALLITEMS) {
        // No LVN_DELETEITEM for each row, as nothing is kept per row: for a list of ten thousand servers those
        // notifications held this thread for a third of a second.
        return ReturnResult(TRUE);
    }
    return list == app.hServerList ? OnServerListNotify(header) : OnPlayerListNotify(header);
}

void CALLBACK OnTakeTimer(HWND window, UINT, UINT_PTR id, DWORD);

// The run's reports become rows and status texts. While they keep coming this thread comes back for more every
// TAKE_INTERVAL_MS by itself; at the run's end, a game search still going keeps its controls.
void OnRunReport() {
    switch (TakeRunReport()) {
    case ReportTaken::More:
        SetTimer(app.hMainDlg, TAKE_TIMER_ID, TAKE_INTERVAL_MS, OnTakeTimer);
        break;
    case ReportTaken::Ended:
        KeepSearchControls(app.hMainDlg);
        break;
    case ReportTaken::Nothing:
        break;
    }
}

void CALLBACK OnTakeTimer(HWND window, UINT, UINT_PTR id, DWORD) {
    KillTimer(window, id);
    OnRunReport();
}

// The filter list is fetched once per start, beside the first update run; nothing waits for the thread.
void StartFilterDownload() {
    KernelHandle thread(StartFilterDownload(app.hMainDlg, MastersToAsk(app.config)));
}

} // namespace

void InitApplication(HINSTANCE instance) {
    app.hInstance = instance;

    INITCOMMONCONTROLSEX controls{};
    controls.dwSize = sizeof controls;
    controls.dwICC = ICC_LISTVIEW_CLASSES | ICC_BAR_CLASSES;
    InitCommonControlsEx(&controls);
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
        CloseWhenRunEnds();
        return TRUE;
    case WM_GETMINMAXINFO:
        return OnGetMinMaxInfo(lParam);
    case WM_COMMAND:
        return OnCommand(wParam);
    case WM_SIZE:
        return ResizeColumns(LOWORD(lParam));
    case WM_NOTIFY:
        return OnNotify(lParam);
    case WM_APP_RUN_REPORT:
        OnRunReport();
        return TRUE;
    case WM_APP_SET_MOD_FILTER_TEXT:
        if (app.hMainDlg) {
            TakeModFilterText(reinterpret_cast<wchar_t*>(lParam));
        } else {
            HeapFree(GetProcessHeap(), 0, reinterpret_cast<wchar_t*>(lParam));
        }
        return TRUE;
    case WM_APP_GAME_SEARCH_DRIVE:
        OnGameSearchDrive(window, lParam);
        return TRUE;
    case WM_APP_GAME_SEARCH_FOUND:
        OnGameSearchFound(window);
        return TRUE;
    case WM_APP_GAME_SEARCH_END:
        OnGameSearchEnded(window);
        return TRUE;
    }
    return FALSE;
}

void InitMainWindow() {
    OSVERSIONINFOW version{};
    version.dwOSVersionInfoSize = sizeof version;
    GetVersionExW(&version);

    // List view modes can be switched from Windows XP (5.1) on.
    app.canSetView = version.dwMajorVersion > 5 || (version.dwMajorVersion == 5 && version.dwMinorVersion >= 1);

    WSADATA winsock;
    if (WSAStartup(MAKEWORD(1, 1), &winsock) != 0) {
        MessageBoxW(app.hMainDlg, L"Couldn't load Winsock!", L"Error", MB_OK);
        PostQuitMessage(1);
        return;
    }

    app.serverCount = 0;

    app.hServerList = InitListViews();
    SizerInstall(app.hMainDlg, MainAnchors);
    Settings settings{};
    settings.sortColumn = app.sortColumn; // by ping, unless a stored order says otherwise
    if (!LoadSettings(settings)) {
        SetFirstStart(settings);
    }
    ApplySettings(settings);
    if (app.playerViewDetails && app.canSetView) {
        SendMessageW(app.hPlayerList, LVM_SETVIEW, LV_VIEW_DETAILS, 0);
    }

    SetWindowTextW(app.hMainDlg, L"Skerrow");
    ShowWindow(app.hMainDlg, SW_SHOWNORMAL);
    UpdateWindow(app.hMainDlg);

    ToggleUpdate();
    StartFilterDownload();
}
