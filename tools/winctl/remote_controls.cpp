#include "remote_controls.h"

#include "find_window.h"

#include <commctrl.h>

#include <algorithm>

namespace {

constexpr int REMOTE_TEXT_CHARS = 512;
// Room for any status line the program writes, so a text that grows while it is fetched still fits.
constexpr SIZE_T REMOTE_STATUS_CHARS = 4096;
constexpr const wchar_t* POPUP_MENU_CLASS = L"#32768";

// A block of memory inside the process that owns a window, released with the object.
class RemoteBlock {
public:
    RemoteBlock(HWND window, SIZE_T size) : size_(size) {
        DWORD processId = 0;
        GetWindowThreadProcessId(window, &processId);
        process_ = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, processId);
        if (process_) {
            address_ = VirtualAllocEx(process_, nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
        }
    }
    ~RemoteBlock() {
        if (address_) {
            VirtualFreeEx(process_, address_, 0, MEM_RELEASE);
        }
        if (process_) {
            CloseHandle(process_);
        }
    }
    RemoteBlock(const RemoteBlock&) = delete;
    RemoteBlock& operator=(const RemoteBlock&) = delete;

    bool Valid() const { return address_ != nullptr; }
    char* Address() const { return static_cast<char*>(address_); }
    bool Write(SIZE_T offset, const void* data, SIZE_T size) const {
        return offset + size <= size_ && WriteProcessMemory(process_, Address() + offset, data, size, nullptr);
    }
    bool Read(SIZE_T offset, void* data, SIZE_T size) const {
        return offset + size <= size_ && ReadProcessMemory(process_, Address() + offset, data, size, nullptr);
    }

private:
    HANDLE process_ = nullptr;
    void* address_ = nullptr;
    SIZE_T size_;
};

void PostKeyTo(HWND window, WPARAM key) {
    PostMessageW(window, WM_KEYDOWN, key, 1);
    PostMessageW(window, WM_KEYUP, key, 0xC0000001);
}

std::wstring ReadText(const RemoteBlock& block, SIZE_T offset) {
    wchar_t text[REMOTE_TEXT_CHARS] = {};
    if (!block.Read(offset, text, sizeof text)) {
        return L"";
    }
    text[REMOTE_TEXT_CHARS - 1] = 0;
    return text;
}

} // namespace

std::wstring RemoteStatusText(HWND statusBar, int part) {
    // The running program may change the text between asking its length and fetching it, and
    // SB_GETTEXT copies the whole text whatever room there is: give it room to spare and keep
    // the length of the text it actually copied.
    SIZE_T length = LOWORD(SendMessageW(statusBar, SB_GETTEXTLENGTHW, part, 0));
    SIZE_T capacity = std::max<SIZE_T>(length + 1, REMOTE_STATUS_CHARS);
    RemoteBlock block(statusBar, capacity * sizeof(wchar_t));
    if (!block.Valid()) {
        return L"";
    }
    SIZE_T copied = LOWORD(SendMessageW(statusBar, SB_GETTEXTW, part, reinterpret_cast<LPARAM>(block.Address())));
    std::wstring text(std::min(copied, capacity - 1), L'\0');
    return block.Read(0, text.data(), text.size() * sizeof(wchar_t)) ? text : L"";
}

std::wstring AwaitRemoteStatus(HWND statusBar, const std::wstring& prefix, DWORD timeoutMs) {
    DWORD start = GetTickCount();
    std::wstring line = RemoteStatusText(statusBar, 0);
    while (line.rfind(prefix, 0) != 0 && GetTickCount() - start < timeoutMs) {
        Sleep(50);
        line = RemoteStatusText(statusBar, 0);
    }
    return line;
}

int RemoteListRowCount(HWND list) {
    return static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
}

std::wstring RemoteListItemText(HWND list, int item, int subItem) {
    // The item record first, its text buffer right behind it.
    RemoteBlock block(list, sizeof(LVITEMW) + REMOTE_TEXT_CHARS * sizeof(wchar_t));
    if (!block.Valid()) {
        return L"";
    }
    LVITEMW request{};
    request.iSubItem = subItem;
    request.pszText = reinterpret_cast<wchar_t*>(block.Address() + sizeof(LVITEMW));
    request.cchTextMax = REMOTE_TEXT_CHARS;
    if (!block.Write(0, &request, sizeof request)) {
        return L"";
    }
    SendMessageW(list, LVM_GETITEMTEXTW, item, reinterpret_cast<LPARAM>(block.Address()));
    return ReadText(block, sizeof(LVITEMW));
}

bool SelectRemoteListRow(HWND list, int item) {
    RemoteBlock block(list, sizeof(LVITEMW));
    LVITEMW state{};
    state.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    state.state = LVIS_SELECTED | LVIS_FOCUSED;
    return block.Valid() && block.Write(0, &state, sizeof state) &&
           SendMessageW(list, LVM_SETITEMSTATE, item, reinterpret_cast<LPARAM>(block.Address()));
}

bool RightClickRemoteListRow(HWND list, int item) {
    RemoteBlock block(list, sizeof(RECT));
    RECT bounds{LVIR_BOUNDS, 0, 0, 0};
    if (!block.Valid() || !block.Write(0, &bounds, sizeof bounds) ||
        !SendMessageW(list, LVM_GETITEMRECT, item, reinterpret_cast<LPARAM>(block.Address())) ||
        !block.Read(0, &bounds, sizeof bounds)) {
        return false;
    }
    LPARAM point = MAKELPARAM(bounds.left + 10, (bounds.top + bounds.bottom) / 2);
    // Both queued at once: the list waits for the release after the press, to tell a click from a drag.
    PostMessageW(list, WM_RBUTTONDOWN, MK_RBUTTON, point);
    PostMessageW(list, WM_RBUTTONUP, 0, point);
    return true;
}

bool ChooseRemoteMenuItem(DWORD processId, int position, DWORD timeoutMs) {
    DWORD start = GetTickCount();
    HWND menu = FindTopLevelWindowOfClass(POPUP_MENU_CLASS, processId);
    while (!menu && GetTickCount() - start < timeoutMs) {
        Sleep(20);
        menu = FindTopLevelWindowOfClass(POPUP_MENU_CLASS, processId);
    }
    if (!menu) {
        return false;
    }
    for (int i = 0; i <= position; ++i) {
        PostKeyTo(menu, VK_DOWN);
    }
    PostKeyTo(menu, VK_RETURN);
    // Anything posted to the program before the menu has taken the Enter's character would come first.
    while (IsWindow(menu) && IsWindowVisible(menu) && GetTickCount() - start < timeoutMs) {
        Sleep(20);
    }
    return !IsWindow(menu) || !IsWindowVisible(menu);
}
