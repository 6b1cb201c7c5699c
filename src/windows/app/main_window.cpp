#include "windows/app/main_window.h"

#include "windows/app/main_window_state.h"

#include <winsock2.h>

#include <commctrl.h>

#include <memory>
#include <string>

#include "core/display/dpi_scale.h"
#include "core/settings/recent_store.h"
#include "core/settings/settings_store.h"
#include "resource.h"
#include "windows/app/history_keeping.h"
#include "windows/app/main_window_dpi.h"
#include "windows/app/main_window_settings.h"
#include "windows/app/main_window_views.h"
#include "windows/app/mod_filter_download.h"
#include "windows/app/run_controller.h"
#include "windows/app/tray.h"
#include "windows/app/watching.h"
#include "windows/dialogs/about_box.h"
#include "windows/dialogs/sources_dialog.h"
#include "windows/launch/game_search.h"
#include "windows/state/app_messages.h"
#include "windows/support/display_dpi.h"
#include "windows/views/main_anchors.h"
#include "windows/views/search_box.h"
#include "windows/views/show_choice.h"
#include "windows/views/sizer.h"

// The main dialog is where the program's modules meet: it owns the window's state, and its procedure routes each
// message to a handler, which hands each module the part of the state it works on. No view includes another: what a
// change in one means for the others goes back through main_window_views.
namespace {

constexpr LONG MAIN_MIN_TRACK_WIDTH = 694; // at 96 DPI
constexpr LONG MAIN_MIN_TRACK_HEIGHT = 447;
// Not in the headers of the oldest Windows the program runs on.
constexpr UINT MESSAGE_DPI_CHANGED = 0x02E0;
void SetWindowIcon(MainWindowState& app, WPARAM which, int width, int height) {
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
void SetWindowIcons(MainWindowState& app) {
    UINT systemDpi = SystemDpi();
    SetWindowIcon(app, ICON_SMALL, ScaleBetweenDpi(GetSystemMetrics(SM_CXSMICON), systemDpi, app.dpi),
                  ScaleBetweenDpi(GetSystemMetrics(SM_CYSMICON), systemDpi, app.dpi));
    SetWindowIcon(app, ICON_BIG, ScaleBetweenDpi(GetSystemMetrics(SM_CXICON), systemDpi, app.dpi),
                  ScaleBetweenDpi(GetSystemMetrics(SM_CYICON), systemDpi, app.dpi));
}

BOOL OnInitDialog(HWND window, LPARAM lParam) {
    auto* holder = reinterpret_cast<std::shared_ptr<MainWindowState>*>(lParam);
    SetWindowLongPtrW(window, DWLP_USER, lParam);
    std::shared_ptr<MainWindowState> app = *holder;
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
BOOL OnDestroy(MainWindowState& app) {
    Session& session = app.session;
    EndGameSearchForExit(session.gameSearch);
    SaveSettings(GatherSettings(app));
    EndTray(app.tray);
    SaveHistoryAtEnd(session.history, session.config, *app.clock);
    EndUpdateRun(session.run);
    EndFilterDownload(session.filterDownload);
    StopWatching(app.watching);
    ForgetServerList(app.servers);
    ForgetStatusBar(app.status);
    app.players.list = nullptr;
    app.modFilters.box = nullptr;
    app.hMainDlg = nullptr;
    PostQuitMessage(0);
    return FALSE;
}

// The dialog is gone: it lets its state go, which ends with the last handler still holding it.
BOOL OnNcDestroy(HWND window) {
    auto* holder = reinterpret_cast<std::shared_ptr<MainWindowState>*>(SetWindowLongPtrW(window, DWLP_USER, 0));
    delete holder;
    return FALSE;
}

BOOL OnGetMinMaxInfo(MainWindowState& app, LPARAM lParam) {
    auto* info = reinterpret_cast<MINMAXINFO*>(lParam);
    info->ptMinTrackSize.x = ScaleToDpi(MAIN_MIN_TRACK_WIDTH, app.dpi);
    info->ptMinTrackSize.y = ScaleToDpi(MAIN_MIN_TRACK_HEIGHT, app.dpi);
    return FALSE;
}

BOOL OnCommand(MainWindowState& app, WPARAM wParam) {
    switch (LOWORD(wParam)) {
    case IDC_EXIT:
        // The window goes at once; a run still going is aborted as it goes.
        DestroyWindow(app.hMainDlg);
        break;
    case IDC_UPDATE:
        // While the game is searched for, Update reads "Stop".
        if (!StopSearchingGame(app)) {
            ToggleUpdate(app);
        }
        break;
    case IDCANCEL: // Esc: ends the game search, or else the wait for a slot, or else empties the search box
        if (!StopSearchingGame(app) && !CancelSlotWait(app)) {
            ClearSearch(app);
        }
        break;
    case IDC_FIND:
        FocusSearchBox(app.hMainDlg, GetDlgItem(app.hMainDlg, IDC_SEARCH));
        break;
    case IDC_SEARCH:
        if (HIWORD(wParam) == EN_CHANGE) {
            OnSearchTextChanged(app);
        } else if (HIWORD(wParam) == EN_SETFOCUS) {
            PrepareSearchTexts(app.finding, app.session.shown);
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
            RefilterServers(app, false);
        }
        break;
    }
    return FALSE;
}

// The close box: the window ends, or with "Keep running in the notification area" on hides to its icon there.
BOOL OnClose(MainWindowState& app) {
    if (app.session.config.keepInTray) {
        HideToTray(app.tray, app.hMainDlg, app.hInstance);
    } else {
        DestroyWindow(app.hMainDlg);
    }
    return TRUE;
}

std::wstring UpdateCaption(MainWindowState& app) {
    wchar_t caption[32] = L"";
    GetDlgItemTextW(app.hMainDlg, IDC_UPDATE, caption, ARRAYSIZE(caption));
    return caption;
}

BOOL OnTrayIcon(MainWindowState& app, WPARAM wParam, LPARAM lParam) {
    std::wstring caption = UpdateCaption(app);
    switch (TrayChoiceFor(app.tray, app.hMainDlg, wParam, lParam, caption)) {
    case TrayChoice::None:
        break;
    case TrayChoice::Show:
        ShowFromTray(app.tray, app.hMainDlg);
        break;
    case TrayChoice::Update:
        // The menu's item said what the button did then: an "Abort" of a run that ended while the menu was open
        // starts no new one.
        if (UpdateCaption(app) == caption) {
            OnCommand(app, MAKEWPARAM(IDC_UPDATE, BN_CLICKED));
        }
        break;
    case TrayChoice::Exit:
        OnCommand(app, MAKEWPARAM(IDC_EXIT, BN_CLICKED));
        break;
    case TrayChoice::ShowTarget:
        ShowFromTray(app.tray, app.hMainDlg);
        SelectAlertTarget(app, app.tray.alertTarget);
        break;
    }
    return TRUE;
}

// Windows ends the session: the process goes without WM_DESTROY, hidden or not, so the settings are saved here.
BOOL OnEndSession(MainWindowState& app, WPARAM ending) {
    if (ending) {
        SaveSettings(GatherSettings(app));
    }
    return TRUE;
}

void CALLBACK OnTakeTimer(HWND window, UINT, UINT_PTR id, DWORD);

// The run's reports become rows and status texts. While they keep coming this thread comes back for more every
// TAKE_INTERVAL_MS by itself.
void OnRunReport(MainWindowState& app) {
    app.takes.Done();
    if (TakeRunReport(app) == ReportTaken::More) {
        app.takes.Schedule(app.hMainDlg, OnTakeTimer);
    }
}

void CALLBACK OnTakeTimer(HWND window, UINT, UINT_PTR, DWORD) {
    if (MainWindowState* app = MainWindowStateOf(window)) {
        app->takes.TimerEnded(window);
        OnRunReport(*app);
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
    auto app = std::make_shared<MainWindowState>();
    app->hInstance = instance;
    app->session.localNetworks = std::move(localNetworks);
    // The dialog takes its holder over in WM_INITDIALOG, before start-up runs, and deletes it at its end.
    auto* holder = new std::shared_ptr<MainWindowState>(app);
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
    auto* holder = reinterpret_cast<std::shared_ptr<MainWindowState>*>(GetWindowLongPtrW(window, DWLP_USER));
    if (!holder) {
        return FALSE;
    }
    std::shared_ptr<MainWindowState> state = *holder;
    MainWindowState& app = *state;
    if (message == app.tray.taskbarCreated && message != 0) {
        OnTaskbarCreated(app.tray);
        return TRUE;
    }
    switch (message) {
    case WM_CREATE:
        return TRUE;
    case WM_DESTROY:
        return OnDestroy(app);
    case WM_NCDESTROY:
        return OnNcDestroy(window);
    case WM_CLOSE:
        return OnClose(app);
    case WM_QUERYENDSESSION:
        SetWindowLongPtrW(app.hMainDlg, DWLP_MSGRESULT, TRUE);
        return TRUE;
    case WM_ENDSESSION:
        return OnEndSession(app, wParam);
    case WM_APP_TRAY_ICON:
        return OnTrayIcon(app, wParam, lParam);
    case WM_GETMINMAXINFO:
        return OnGetMinMaxInfo(app, lParam);
    case MESSAGE_DPI_CHANGED:
        RescaleMainWindow(RescaledWindow{app.hMainDlg, app.dpi, app.rescaledFont, app.servers, app.players, app.status},
                          LOWORD(wParam), *reinterpret_cast<const RECT*>(lParam));
        SetWindowIcons(app);
        return TRUE;
    case WM_COMMAND:
        return OnCommand(app, wParam);
    case WM_SYSCOMMAND:
        if ((wParam & 0xFFF0) == SYSTEM_MENU_ABOUT) {
            ShowAboutBox(app.hMainDlg);
            return TRUE;
        }
        if ((wParam & 0xFFF0) == SYSTEM_MENU_SOURCES) {
            const RunState& run = app.session.run;
            RunSourcesDialog(app.hMainDlg, SourceRows(run.masters, run.sources, run.running));
            return TRUE;
        }
        return FALSE;
    case WM_SIZE:
        // A size change can arrive before the lists exist.
        if (app.servers.list && app.players.list) {
            ResizeServerColumns(app.servers, LOWORD(lParam));
            ResizePlayerColumns(app.players, LOWORD(lParam));
        }
        return FALSE;
    case WM_NOTIFY:
        return OnListNotify(app, reinterpret_cast<NMHDR*>(lParam));
    case WM_APP_RUN_REPORT:
        OnRunReport(app);
        return TRUE;
    case WM_APP_FILTER_REPORT:
        TakeFilterDownload(app.session.filterDownload, app.modFilters);
        return TRUE;
    case WM_APP_GAME_SEARCH_REPORT:
        TakeGameSearch(app);
        return TRUE;
    case WM_APP_WATCH_REPORT:
        TakeWatchAnswers(app);
        return TRUE;
    case WM_TIMER:
        if (wParam == TIMED_WORK_TIMER_ID) {
            OnTimedWorkTick(app);
            return TRUE;
        }
        return FALSE;
    }
    return FALSE;
}

void InitMainWindow(MainWindowState& app) {
    OSVERSIONINFOW version{};
    version.dwOSVersionInfoSize = sizeof version;
    GetVersionExW(&version);

    WSADATA winsock;
    if (WSAStartup(MAKEWORD(1, 1), &winsock) != 0) {
        MessageBoxW(app.hMainDlg, L"Couldn't load Winsock!", L"Error", MB_OK);
        PostQuitMessage(1);
        return;
    }

    // List view modes can be switched from Windows XP (5.1) on.
    bool canSetView = version.dwMajorVersion > 5 || (version.dwMajorVersion == 5 && version.dwMinorVersion >= 1);
    InitServerList(app.servers, app.hMainDlg, app.hInstance, app.dpi);
    InitPlayerList(app.players, app.hMainDlg, app.hInstance, app.dpi, canSetView);
    CreateStatusBar(app.status, app.hMainDlg, app.hInstance, app.dpi);
    app.modFilters.box = GetDlgItem(app.hMainDlg, IDC_MOD_FILTER);
    InitSearchBox(GetDlgItem(app.hMainDlg, IDC_SEARCH));
    InitShowChoice(GetDlgItem(app.hMainDlg, IDC_SHOW), app.finding);
    app.hKeys = LoadAcceleratorsW(app.hInstance, MAKEINTRESOURCEW(IDA_MAIN));
    SizerInstall(app.hMainDlg, MainAnchors);
    InitTray(app.tray);
    Settings settings{};
    settings.sortColumn = app.servers.sortColumn; // by ping, unless a stored order says otherwise
    if (!LoadSettings(settings)) {
        SetFirstStart(settings);
    }
    ApplySettings(app, settings);
    app.session.lists.recent = LoadRecentServers();
    StartHistory(app.session.history, app.session.config, *app.clock);

    SetWindowTextW(app.hMainDlg, L"Skerrow");
    AddAboutItem(app.hMainDlg);
    AddSourcesItem(app.hMainDlg);
    ShowWindow(app.hMainDlg, SW_SHOWNORMAL);
    UpdateWindow(app.hMainDlg);

    ToggleUpdate(app);
    SetTimer(app.hMainDlg, TIMED_WORK_TIMER_ID, TIMED_WORK_TICK_MS, nullptr);
    // The filter list is fetched once per start, beside the first update run.
    StartFilterDownload(app.hMainDlg, MastersToAsk(app.session.config), app.session.filterDownload, app.modFilters);
}

bool TranslateMainWindowKeys(HWND mainDialog, MSG* message) {
    MainWindowState* app = MainWindowStateOf(mainDialog);
    return app && app->hKeys && TranslateAcceleratorW(mainDialog, app->hKeys, message);
}

MainWindowState* MainWindowStateOf(HWND mainDialog) {
    auto* holder = reinterpret_cast<std::shared_ptr<MainWindowState>*>(GetWindowLongPtrW(mainDialog, DWLP_USER));
    return holder ? holder->get() : nullptr;
}
