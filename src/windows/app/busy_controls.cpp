#include "windows/app/busy_controls.h"

#include "resource.h"

void ShowBusy(HWND dialog, bool updating, bool aborting, bool searchingGame) {
    const wchar_t* update = searchingGame ? L"Stop" : updating ? L"Abort" : L"Update";
    SetDlgItemTextW(dialog, IDC_UPDATE, update);
    EnableWindow(GetDlgItem(dialog, IDC_UPDATE), searchingGame || !aborting);
    bool idle = !updating && !searchingGame;
    EnableWindow(GetDlgItem(dialog, IDC_CONFIG), idle);
    EnableWindow(GetDlgItem(dialog, IDC_MOD_FILTER), idle);
}
