#include "windows/app/busy_controls.h"

#include "resource.h"

void ShowBusy(HWND dialog, const Session& session) {
    bool updating = session.run.running;
    bool searchingGame = session.gameSearch != nullptr;
    const wchar_t* update = searchingGame ? L"Stop" : updating ? L"Abort" : L"Update";
    SetDlgItemTextW(dialog, IDC_UPDATE, update);
    EnableWindow(GetDlgItem(dialog, IDC_UPDATE), searchingGame || !session.run.aborting);
    bool idle = !updating && !searchingGame;
    EnableWindow(GetDlgItem(dialog, IDC_CONFIG), idle);
    EnableWindow(GetDlgItem(dialog, IDC_MOD_FILTER), idle);
}
