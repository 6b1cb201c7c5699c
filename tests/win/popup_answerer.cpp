#include "popup_answerer.h"

#include "picture.h"

namespace {

// The static control that holds a message box's text.
constexpr int MESSAGE_BOX_TEXT_ID = 0xFFFF;

std::wstring TextOf(HWND window) {
    wchar_t text[2048];
    int length = GetWindowTextW(window, text, 2048);
    return std::wstring(text, length > 0 ? length : 0);
}

// The first visible top-level window of this process with the class.
HWND FindOwnWindow(const wchar_t* className) {
    struct Search {
        const wchar_t* className;
        HWND found;
    } search{className, nullptr};
    EnumWindows(
        [](HWND window, LPARAM param) -> BOOL {
            auto* search = reinterpret_cast<Search*>(param);
            DWORD process = 0;
            GetWindowThreadProcessId(window, &process);
            wchar_t className[64];
            if (process == GetCurrentProcessId() && IsWindowVisible(window) && GetClassNameW(window, className, 64) &&
                wcscmp(className, search->className) == 0) {
                search->found = window;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

void AnswerMessageBox(PopupWatcher<ShownBox>& watcher, const std::vector<int>& answers) {
    HWND box = FindOwnWindow(L"#32770");
    if (!box || !GetDlgItem(box, MESSAGE_BOX_TEXT_ID)) {
        return;
    }
    size_t index = watcher.Record({TextOf(box), TextOf(GetDlgItem(box, MESSAGE_BOX_TEXT_ID))});
    int answer = index < answers.size() ? answers[index] : GetDlgItem(box, IDNO) ? IDNO : IDOK;
    PostMessageW(box, WM_COMMAND, MAKEWPARAM(answer, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(box, answer)));
    AwaitWindowGone(box);
}

void ChooseMenuItem(PopupWatcher<ShownMenu>& watcher, int position, const wchar_t* picture) {
    HWND window = FindOwnWindow(L"#32768");
    if (!window) {
        return;
    }
    if (picture) {
        CreateDirectoryW(L"screenshots", nullptr);
        WriteBitmap(SettledCapture(GetDesktopWindow()), (std::wstring(L"screenshots\\") + picture).c_str());
    }
    ShownMenu menu{};
    RECT rect;
    GetWindowRect(window, &rect);
    menu.topLeft = {rect.left, rect.top};
    auto handle = reinterpret_cast<HMENU>(SendMessageW(window, MN_GETHMENU, 0, 0));
    int downs = 0; // the arrow keys pass over separators
    for (int i = 0; handle && i < GetMenuItemCount(handle); ++i) {
        wchar_t text[128];
        int length = GetMenuStringW(handle, i, text, 128, MF_BYPOSITION);
        menu.items.emplace_back(std::wstring(text, length > 0 ? length : 0), GetMenuItemID(handle, i));
        UINT state = GetMenuState(handle, i, MF_BYPOSITION);
        if ((state & MF_GRAYED) && !(state & MF_SEPARATOR)) {
            menu.greyed.push_back(menu.items.back().first);
        }
        downs += i <= position && !(state & MF_SEPARATOR);
    }
    watcher.Record(menu);

    if (position < 0) {
        PostKey(window, VK_ESCAPE);
    } else {
        for (int i = 0; i < downs; ++i) {
            PostKey(window, VK_DOWN);
        }
        PostKey(window, VK_RETURN);
    }
    AwaitWindowGone(window);
}

} // namespace

bool AwaitWindowGone(HWND window, DWORD timeoutMs) {
    DWORD start = GetTickCount();
    while (IsWindow(window) && IsWindowVisible(window)) {
        if (GetTickCount() - start >= timeoutMs) {
            return false;
        }
        Sleep(10);
    }
    return true;
}

void PostKey(HWND window, WPARAM key) {
    PostMessageW(window, WM_KEYDOWN, key, 1);
    PostMessageW(window, WM_KEYUP, key, 0xC0000001);
}

MessageBoxAnswerer::MessageBoxAnswerer(std::vector<int> answers)
    : PopupWatcher([answers](PopupWatcher& watcher) { AnswerMessageBox(watcher, answers); }) {}

MenuChooser::MenuChooser(int position, const wchar_t* picture)
    : PopupWatcher([position, picture](PopupWatcher& watcher) { ChooseMenuItem(watcher, position, picture); }) {}
