// The main window's state: a composition of parts, each with one owner. The views own theirs (the server and player
// lists, the status line, the mod filter box), finding a game and the buddies are the window's reading of the
// user's input, and the session is what it works with (windows/app/session.h). Functions below the main window take
// the narrowest part they need; what one part's change means for another goes back through the main window. Win32
// side.
//
// The main dialog owns it: made with the dialog, kept in its DWLP_USER, and let go when the dialog is destroyed.
// Its procedure hands it to every handler, holding it for the handler's length, so a handler whose modal loop (a
// message box, a menu) outlives the window still finds it; only the user interface thread reads or writes it.
// Workers own what they use and report through channels the window drains.
#pragma once

#include <windows.h>

#include <memory>

#include "core/watch/buddy_appearances.h"
#include "core/worker/program_clock.h"
#include "platform/win32/win_holders.h"
#include "windows/app/session.h"
#include "windows/launch/game_launcher.h"
#include "windows/app/tray.h"
#include "windows/state/finding.h"
#include "windows/state/watching_state.h"
#include "windows/support/throttle.h"
#include "windows/views/buddy_highlight.h"
#include "windows/views/mod_filter_box.h"
#include "windows/views/player_list.h"
#include "windows/views/server_list.h"
#include "windows/views/status_bar.h"

// How long the user interface thread lets a run's replies gather between takes while they stream in.
constexpr UINT TAKE_INTERVAL_MS = 20;
constexpr UINT_PTR TAKE_TIMER_ID = 0x5452;
// The window's timed work (its own runs, the watched servers' queries, the history's saves) is looked at this often,
// on the program's clock.
constexpr UINT TIMED_WORK_TICK_MS = 1000;
constexpr UINT_PTR TIMED_WORK_TIMER_ID = 0x5457;

struct MainWindowState {
    HINSTANCE hInstance = nullptr;
    HWND hMainDlg = nullptr; // cleared when the main dialog is destroyed
    // The DPI the window is laid out for, and the controls' font once a change of DPI has replaced the dialog's own
    // (deleted when replaced, and with the state).
    UINT dpi = 96;
    std::unique_ptr<GdiHandle> rescaledFont;
    HACCEL hKeys = nullptr;
    Throttle takes{TAKE_TIMER_ID, TAKE_INTERVAL_MS}; // of the run's reports
    ProgramClock* clock = &SystemClock();            // what timed work reads; tests put their own

    ServerListView servers;
    PlayerListView players;
    StatusLine status;
    ModFilterBox modFilters;
    Finding finding;
    BuddyList buddies;
    BuddyAppearances buddyAppearances; // fed while buddy alerts are on
    Session session;
    WatchingState watching;
    Tray tray;
};

// The state the main dialog keeps (as a std::shared_ptr<MainWindowState> on the heap, in its DWLP_USER): null before
// WM_INITDIALOG and after the dialog's end.
MainWindowState* MainWindowStateOf(HWND mainDialog);

// What a join works with: the window, the configuration and the user's lists, the status line, the game search.
inline JoinHost JoinHostOf(MainWindowState& app) {
    Session& session = app.session;
    return JoinHost{app.hMainDlg, session.config, session.lists, app.status, session.gameSearch};
}

// What the server list's rows and cells are made from, as the state holds it now.
inline ServerListInputs ListInputs(MainWindowState& app) {
    return ServerListInputs{app.session.shown, app.finding, app.session.lists, app.session.config};
}
