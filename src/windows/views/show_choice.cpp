#include "windows/views/show_choice.h"

namespace {

// In SHOW_ order: an entry's index is its choice.
constexpr const wchar_t* SHOW_TEXTS[] = {L"All servers", L"Favourites", L"Recently played", L"LAN"};

} // namespace

void InitShowChoice(HWND box, Finding& finding) {
    for (const wchar_t* text : SHOW_TEXTS) {
        SendMessageW(box, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
    }
    SendMessageW(box, CB_SETCURSEL, SHOW_ALL, 0);
    finding.showChoice = SHOW_ALL;
}

bool ReadShowChoice(HWND box, Finding& finding) {
    auto chosen = static_cast<int32_t>(SendMessageW(box, CB_GETCURSEL, 0, 0));
    if (chosen < SHOW_ALL || chosen > SHOW_LAN || chosen == finding.showChoice) {
        return false;
    }
    finding.showChoice = chosen;
    return true;
}
