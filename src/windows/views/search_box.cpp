#include "windows/views/search_box.h"

#include <iterator>

#include "platform/win32/wide.h"

void InitSearchBox(HWND box) {
    SendMessageW(box, EM_LIMITTEXT, SEARCH_TEXT_MAX, 0);
}

bool ReadSearchBox(HWND box, Finding& finding) {
    // Pasted text may be longer than the box's limit; the search takes its first SEARCH_TEXT_MAX characters.
    wchar_t typed[SEARCH_TEXT_MAX + 1] = {};
    GetWindowTextW(box, typed, static_cast<int>(std::size(typed)));
    ServerSearch search = MakeServerSearch(AsU16(typed));
    if (search.folded == finding.search.folded) {
        return false; // a control character, or a change of case that folds the same
    }
    finding.search = std::move(search);
    return true;
}

void FocusSearchBox(HWND dialog, HWND box) {
    SendMessageW(dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(box), TRUE);
    SendMessageW(box, EM_SETSEL, 0, -1);
}

bool ClearSearchBox(HWND box, Finding& finding) {
    if (GetWindowTextLengthW(box) == 0) {
        return false;
    }
    SetWindowTextW(box, L"");
    ReadSearchBox(box, finding); // as its EN_CHANGE does, which has then nothing left to do
    return true;
}
