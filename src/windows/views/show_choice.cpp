#include "windows/views/show_choice.h"

#include "windows/state/app_state.h"

#include "resource.h"
#include "windows/views/search_box.h"

namespace {

// In SHOW_ order: an entry's index is its choice.
constexpr const wchar_t* SHOW_TEXTS[] = {L"All servers", L"Favourites", L"Recently played", L"LAN"};

HWND ShowBox(AppState& app) {
    return GetDlgItem(app.hMainDlg, IDC_SHOW);
}

} // namespace

void InitShowChoice(AppState& app) {
    for (const wchar_t* text : SHOW_TEXTS) {
        SendMessageW(ShowBox(app), CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
    }
    SendMessageW(ShowBox(app), CB_SETCURSEL, SHOW_ALL, 0);
    app.showChoice = SHOW_ALL;
}

void OnShowChoiceChanged(AppState& app) {
    auto chosen = static_cast<int32_t>(SendMessageW(ShowBox(app), CB_GETCURSEL, 0, 0));
    if (chosen < SHOW_ALL || chosen > SHOW_LAN || chosen == app.showChoice) {
        return;
    }
    app.showChoice = chosen;
    ApplyFinding(app);
}

void FollowShowChoice(AppState& app) {
    if (app.showChoice != SHOW_ALL && app.hServerList) { // a join from the menu may have closed the window
        ApplyFinding(app);
    }
}
