#include "windows/app/main_window.h"

#include "windows/state/app_state.h"

#include <commctrl.h>

#include <memory>

#include "core/display/dpi_scale.h"
#include "resource.h"
#include "windows/app/main_window_dpi.h"
#include "windows/app/main_window_settings.h"
#include "windows/app/mod_filter_download.h"
#include "windows/app/run_controller.h"
#include "windows/app/server_menu.h"
#include "windows/dialogs/about_box.h"
#include "windows/launch/game_launcher.h"
#include "windows/launch/game_search.h"
#include "windows/platform/display_dpi.h"
#include "windows/platform/recent_store.h"
#include "windows/platform/settings_store.h"
#include "windows/state/app_messages.h"
#include "windows/views/buddy_highlight.h"
#include "windows/views/main_anchors.h"
#include "windows/views/mod_filter_box.h"
#include "windows/views/player_list.h"
#include "windows/views/search_box.h"
#include "windows/views/search_rows.h"
#include "windows/views/server_list.h"
#include "windows/views/show_choice.h"
#include "windows/views/sizer.h"
#include "windows/views/status_bar.h"

// The main dialog is where the program's modules meet: it owns the window's state, and its procedure routes each
// message to a handler, which hands the state to the modules that do the work. No module below calls another
// sideways or up.
namespace {

constexpr LONG MAIN_MIN_TRACK_WIDTH = 694; // at 96 DPI
constexpr LONG MAIN_MIN_TRACK_HEIGHT = 447;
// Not in the headers of the oldest Windows the program runs on.
constexpr UINT MESSAGE_DPI_CHANGED = 0x02E0;
// How long the user interface thread lets replies gather between takes while they stream in.
constexpr UINT TAKE_INTERVAL_MS = 20;
constexpr UINT_PTR TAKE_TIMER_ID = 0x5452;

void SetWindowIcon(AppState& app, WPARAM which, int width, int height) {
    HANDLE icon = LoadImageW(app.hInstance, MAKEINTRESOURCEW(IDI_APP), IMAGE_ICON, width, height, 0);
    if (icon) {
        if (auto old = reinterpret_cast<HICON>(
                SendMessageW(app.hMainDlg, WM_SETICON, which, reinterpret_cast<LPARAM>(icon)))) {
            DestroyIcon(old);
        }
    }
}

// The caption's icon and the large one that the task bar and the task switcher show, at the window's DPI: the system
// metrics are the system DPI's.
void SetWindowIcons(AppState& app) {
    UINT systemDpi = SystemDpi();
    SetWindowIcon(app, ICON_SMALL, ScaleBetweenDpi(GetSystemMetrics(SM_CXSMICON), systemDpi, app.dpi),
                  ScaleBetweenDpi(GetSystemMetrics(SM_CYSMICON), systemDpi, app.dpi));
    SetWindowIcon(app, ICON_BIG, ScaleBetweenDpi(GetSystemMetrics(SM_CXICON), systemDpi, app.dpi),
                  ScaleBetweenDpi(GetSystemMetrics(SM_CYICON), systemDpi, app.dpi));
}

BOOL OnInitDialog(HWND window, LPARAM lParam) {
    auto* holder = reinterpret_cast<std::shared_ptr<AppState>*>(lParam);
    SetWindowLongPtrW(window, DWLP_USER, lParam);
    std::shared_ptr<AppState> app = *holder;
    app->hMainDlg = window;
    app->dpi = WindowDpi(window);
    OwnDialogDpiChanges(window);
    InitMainWindow(*app);
    return TRUE;
}

// Settings are saved first, as the window is; then the window lets its background work go without waiting for it:
// a run still going is aborted and finishes on its own. Winsock goes with the process, never before: a run's master
// workers hold sockets of their own and outlive its end (an aborted run's may be looking a name up for seconds), and
// WSACleanup would close every socket of the process under them, leaving them handle values the process gives to
// other objects.
BOOL OnDestroy(AppState& app) {
    EndGameSearchForExit(app);
    SaveSettings(GatherSettings(app));
    app.run.reset();
    app.updateRunning = 0;
    EndFilterDownload(app);
    app.hMainDlg = nullptr;
    app.hServerList = nullptr;
    app.hPlayerList = nullptr;
    app.hStatusBar = nullptr;
    PostQuitMessage(0);
    return FALSE;
}

// The dialog is gone: it lets its state go, which ends with the last handler still holding it.
BOOL OnNcDestroy(HWND window) {
    auto* holder = reinterpret_cast<std::shared_ptr<AppState>*>(SetWindowLongPtrW(window, DWLP_USER, 0));
    delete holder;
    return FALSE;
}

BOOL OnGetMinMaxInfo(AppState& app, LPARAM lParam) {
    auto* info = reinterpret_cast<MINMAXINFO*>(lParam);
    info->ptMinTrackSize.x = ScaleToDpi(MAIN_MIN_TRACK_WIDTH, app.dpi);
    info->ptMinTrackSize.y = ScaleToDpi(MAIN_MIN_TRACK_HEIGHT, app.dpi);
    return FALSE;
}

BOOL OnCommand(AppState& app, WPARAM wParam) {
    switch (LOWORD(wParam)) {
    case IDC_EXIT:
        // The window goes at once; a run still going is aborted as it goes.
        DestroyWindow(app.hMainDlg);
        break;
    case IDC_UPDATE:
        // While the game is searched for, Update reads "Stop".
        if (!StopGameSearch(app)) {
            ToggleUpdate(app);
        }
        break;
    case IDCANCEL: // Esc: ends the game search, or else empties the search box
        if (!StopGameSearch(app)) {
            ClearSearchBox(app);
        }
        break;
    case IDC_FIND:
        FocusSearchBox(app);
        break;
    case IDC_SEARCH:
        if (HIWORD(wParam) == EN_CHANGE) {
            OnSearchTextChanged(app);
        } else if (HIWORD(wParam) == EN_SETFOCUS) {
            PrepareSearchTexts(app);
        }
        break;
    case IDC_SHOW:
        if (HIWORD(wParam) == CBN_SELCHANGE) {
            OnShowChoiceChanged(app);
        }
        break;
    case IDC_CONFIG:
        EditConfiguration(app);
        break;
    case IDC_MOD_FILTER:
        if (HIWORD(wParam) == CBN_SELCHANGE) {
            ToggleUpdate(app);
        }
        break;
    case IDC_SHOW_FULL:
    case IDC_SHOW_EMPTY:
        if (HIWORD(wParam) == BN_CLICKED) {
            RefilterServerList(app);
        }
        break;
    }
    return FALSE;
}

// Messages whose sender reads a result: it goes back through DWLP_MSGRESULT.
BOOL ReturnResult(AppState& app, LONG_PTR result) {
    SetWindowLongPtrW(app.hMainDlg, DWLP_MSGRESULT, result);
    return TRUE;
}

INT_PTR OnServerListNotify(AppState& app, NMHDR* header) {
    switch (header->code) {
    case NM_RCLICK:
        // The settings are written at exit; the favourites also at once, so that a crash does not lose them.
        if (ShowServerMenu(app, *reinterpret_cast<NMITEMACTIVATE*>(header))) {
            SaveSettings(GatherSettings(app));
        }
        FollowShowChoice(app); // the favourites or the history may have changed
        return FALSE;
    case NM_DBLCLK:
        ConnectToServer(app, *reinterpret_cast<NMITEMACTIVATE*>(header));
        return FALSE;
    }
    return OnServerListViewNotify(app, header);
}

INT_PTR OnNotify(AppState& app, LPARAM lParam) {
    auto* header = reinterpret_cast<NMHDR*>(lParam);
    HWND list = header->idFrom == IDC_SERVER_LIST   ? app.hServerList
                : header->idFrom == IDC_PLAYER_LIST ? app.hPlayerList
                                                    : nullptr;
    if (!list) {
        return FALSE;
    }
    if (header->code == NM_CUSTOMDRAW) {
        return ReturnResult(app, OnListCustomDraw(app, list, reinterpret_cast<NMLVCUSTOMDRAW*>(header)));
    }
    if (header->code == LVN_DELETEALLITEMS) {
        // No LVN_DELETEITEM for each row, as nothing is kept per row: for a list of ten thousand servers those
        // notifications held this thread for a third of a second.
        return ReturnResult(app, TRUE);
    }
    return list == app.hServerList ? OnServerListNotify(app, header) : OnPlayerListNotify(app, header);
}

void CALLBACK OnTakeTimer(HWND window, UINT, UINT_PTR id, DWORD);

// The run's reports become rows and status texts. While they keep coming this thread comes back for more every
// TAKE_INTERVAL_MS by itself; at the run's end, a game search still going keeps its controls.
void OnRunReport(AppState& app) {
    switch (TakeRunReport(app)) {
    case ReportTaken::More:
        SetTimer(app.hMainDlg, TAKE_TIMER_ID, TAKE_INTERVAL_MS, OnTakeTimer);
        break;
    case ReportTaken::Ended:
        KeepSearchControls(app);
        break;
    case ReportTaken::Nothing:
        break;
    }
}

void CALLBACK OnTakeTimer(HWND window, UINT, UINT_PTR id, DWORD) {
    KillTimer(window, id);
    if (AppState* app = MainWindowState(window)) {
        OnRunReport(*app);
    }
}

// The search's reports: the drive it searches, a find to ask the user about, and its end, which goes on with the
// join it was started for.
void OnGameSearchReport(AppState& app) {
    GameSearchEnd end;
    if (TakeGameSearchReports(app, end)) {
        OnGameSearchEnded(app, end);
    }
}

} // namespace

void InitApplication() {
    INITCOMMONCONTROLSEX controls{};
    controls.dwSize = sizeof controls;
    controls.dwICC = ICC_LISTVIEW_CLASSES | ICC_BAR_CLASSES;
    InitCommonControlsEx(&controls);
}

HWND CreateMainWindow(HINSTANCE instance, LocalNetworkLister localNetworks) {
    auto app = std::make_shared<AppState>();
    app->hInstance = instance;
    app->localNetworks = std::move(localNetworks);
    // The dialog takes its holder over in WM_INITDIALOG, before start-up runs, and deletes it at its end.
    auto* holder = new std::shared_ptr<AppState>(app);
    HWND window = CreateDialogParamW(instance, MAKEINTRESOURCEW(IDD_MAIN), nullptr, MainDlgProc,
                                     reinterpret_cast<LPARAM>(holder));
    if (!window) {
        if (!app->hMainDlg) {
            delete holder; // the dialog never took it
        }
        return nullptr;
    }
    SetWindowIcons(*app);
    return window;
}

INT_PTR CALLBACK MainDlgProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        return OnInitDialog(window, lParam);
    }
    auto* holder = reinterpret_cast<std::shared_ptr<AppState>*>(GetWindowLongPtrW(window, DWLP_USER));
    if (!holder) {
        return FALSE;
    }
    std::shared_ptr<AppState> state = *holder;
    AppState& app = *state;
    switch (message) {
    case WM_CREATE:
        return TRUE;
    case WM_DESTROY:
        return OnDestroy(app);
    case WM_NCDESTROY:
        return OnNcDestroy(window);
    case WM_CLOSE:
        DestroyWindow(app.hMainDlg);
        return TRUE;
    case WM_GETMINMAXINFO:
        return OnGetMinMaxInfo(app, lParam);
    case MESSAGE_DPI_CHANGED:
        RescaleMainWindow(app, LOWORD(wParam), *reinterpret_cast<const RECT*>(lParam));
        SetWindowIcons(app);
        return TRUE;
    case WM_COMMAND:
        return OnCommand(app, wParam);
    case WM_SYSCOMMAND:
        if ((wParam & 0xFFF0) == SYSTEM_MENU_ABOUT) {
            ShowAboutBox(app.hMainDlg);
            return TRUE;
        }
        return FALSE;
    case WM_SIZE:
        return ResizeColumns(app, LOWORD(lParam));
    case WM_NOTIFY:
        return OnNotify(app, lParam);
    case WM_APP_RUN_REPORT:
        OnRunReport(app);
        return TRUE;
    case WM_APP_FILTER_REPORT:
        TakeFilterDownload(app);
        return TRUE;
    case WM_APP_GAME_SEARCH_REPORT:
        OnGameSearchReport(app);
        return TRUE;
    }
    return FALSE;
}

void InitMainWindow(AppState& app) {
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

    app.hServerList = InitListViews(app);
    InitSearchBox(app);
    InitShowChoice(app);
    app.hKeys = LoadAcceleratorsW(app.hInstance, MAKEINTRESOURCEW(IDA_MAIN));
    SizerInstall(app.hMainDlg, MainAnchors);
    Settings settings{};
    settings.sortColumn = app.sortColumn; // by ping, unless a stored order says otherwise
    if (!LoadSettings(settings)) {
        SetFirstStart(settings);
    }
    ApplySettings(app, settings);
    app.recentServers = LoadRecentServers();
    if (app.playerViewDetails && app.canSetView) {
        SendMessageW(app.hPlayerList, LVM_SETVIEW, LV_VIEW_DETAILS, 0);
    }

    SetWindowTextW(app.hMainDlg, L"Skerrow");
    AddAboutItem(app.hMainDlg);
    ShowWindow(app.hMainDlg, SW_SHOWNORMAL);
    UpdateWindow(app.hMainDlg);

    ToggleUpdate(app);
    // The filter list is fetched once per start, beside the first update run.
    StartFilterDownload(app);
}

bool TranslateMainWindowKeys(HWND mainDialog, MSG* message) {
    AppState* app = MainWindowState(mainDialog);
    return app && app->hKeys && TranslateAcceleratorW(mainDialog, app->hKeys, message);
}
