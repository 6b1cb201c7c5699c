#include "harness.h"

#include <commctrl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <optional>
#include <vector>

#include "core/history/history_files.h"
#include "core/run/remembered_files.h"
#include "platform/win32/settings_key.h"
#include "platform/win32/wide.h"
#include "resource.h"
#include "simulator_client.h"
#include "simulator_masters.h"
#include "windows/app/main_window.h"
#include "windows/views/buddy_highlight.h"

namespace {

int quitCode = -1;
// The main dialog the test opened, and a state of the tests' own for those that open none.
HWND mainWindow = nullptr;
std::unique_ptr<MainWindowState> windowless;
std::vector<std::wstring> statusLines;
// The start-up filter download has ended: the simulator answered it, and an answer of 200 has reached the dialog,
// which keeps the new text and refills the box. A failed download touches nothing after its request.
bool FilterDownloadEnded() {
    for (const std::string& line : SimLogOf("http")) {
        if (SimLogField(line, "target") == "/filters") {
            return SimLogField(line, "status") != "200" || App().modFilters.text.has_value();
        }
    }
    return false;
}

HWND OpenWindow(const char* scenario) {
    quitCode = -1;
    statusLines.clear();
    SimLoad(scenario);
    // The LAN search goes on as on a first start, over no network: it would broadcast on the machine's own.
    LocalNetworkLister noNetworks = [] { return std::vector<LocalNetwork>(); };
    mainWindow = CreateMainWindow(GetModuleHandleW(nullptr), OnALanOfItsOwn() ? ListBroadcastNetworks : noNetworks);
    if (!mainWindow || !WaitForIdle()) {
        return nullptr;
    }
    // The filter list comes from the first web master; with none listed there is no download to wait for.
    std::vector<MasterEntry> masters = MastersToAsk(App().session.config);
    bool fromWeb = std::any_of(masters.begin(), masters.end(),
                               [](const MasterEntry& master) { return master.kind == MasterKind::Web; });
    bool started = !fromWeb || PumpUntil([&] { return FilterDownloadEnded(); });
    return started ? mainWindow : nullptr;
}

// Takes a pending WM_QUIT off the queue (and dispatches everything before it).
bool TakeQuit() {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            quitCode = static_cast<int>(message.wParam);
            return true;
        }
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return false;
}

LRESULT CALLBACK StatusRecorder(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR) {
    if (message == SB_SETTEXTW && LOBYTE(LOWORD(wParam)) == 0 && lParam) {
        statusLines.emplace_back(reinterpret_cast<const wchar_t*>(lParam));
    }
    return DefSubclassProc(window, message, wParam, lParam);
}

} // namespace

HWND OpenMainWindow(const char* scenario) {
    DeleteSettings();
    return OpenWindow(scenario);
}

HWND ReopenMainWindow(const char* scenario) {
    return OpenWindow(scenario);
}

void DeleteSettings() {
    ForgetSettings(SETTINGS_KEY);
    // The remembered lists are stored state too: a run whose master fails must not find an earlier test's.
    ForgetRememberedLists();
    // So is the servers' history, which every window keeps by default.
    DeleteFileW(AsWide(ServerHistoryPath().c_str()));
}

void ForgetRememberedLists() {
    std::wstring folder = AsWide(RememberedListFolder().c_str());
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((folder + L"remembered-*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            DeleteFileW((folder + found.cFileName).c_str());
        } while (FindNextFileW(search, &found));
        FindClose(search);
    }
}

std::wstring MultiText(const std::vector<std::wstring>& strings) {
    std::wstring text;
    for (const std::wstring& string : strings) {
        text += string + L'\0';
    }
    return text + L'\0';
}

std::wstring StoredMultiText(const wchar_t* name) {
    wchar_t text[256];
    DWORD size = sizeof text;
    DWORD type = 0;
    if (RegGetValueW(HKEY_CURRENT_USER, SETTINGS_KEY, name, RRF_RT_ANY, &type, text, &size) != ERROR_SUCCESS) {
        return L"(none)";
    }
    return type == REG_MULTI_SZ ? std::wstring(text, size / sizeof(wchar_t)) : L"(not a list)";
}

int CloseMainWindow() {
    if (IsWindow(mainWindow)) {
        if (App().session.run.running && App().session.run.handle) {
            App().session.run.handle->Abort();
            WaitForIdle();
        }
        // The window's state goes with it.
        DestroyWindow(mainWindow);
    }
    mainWindow = nullptr;
    if (quitCode == -1) {
        TakeQuit();
    }
    windowless.reset();
    return quitCode;
}

MainWindowState& App() {
    if (MainWindowState* state = IsWindow(mainWindow) ? MainWindowStateOf(mainWindow) : nullptr) {
        return *state;
    }
    if (!windowless) {
        windowless = std::make_unique<MainWindowState>();
    }
    return *windowless;
}

bool PumpUntil(const std::function<bool()>& condition, DWORD timeoutMs) {
    DWORD start = GetTickCount();
    for (;;) {
        if (condition()) {
            return true;
        }
        if (GetTickCount() - start >= timeoutMs) {
            return false;
        }
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.message == WM_QUIT) {
                quitCode = static_cast<int>(message.wParam);
                continue;
            }
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
}

void ClickUpdate() {
    SendDlgItemMessageW(App().hMainDlg, IDC_UPDATE, BM_CLICK, 0, 0);
}

bool WaitForIdle(DWORD timeoutMs) {
    return PumpUntil([] { return !App().session.run.running; }, timeoutMs);
}

bool RunUpdateToEnd(DWORD timeoutMs) {
    ClickUpdate();
    return WaitForIdle(timeoutMs);
}

void SetModFilters(const std::vector<std::pair<std::wstring, std::wstring>>& filters, int selected) {
    HWND box = GetDlgItem(App().hMainDlg, IDC_MOD_FILTER);
    SendMessageW(box, CB_RESETCONTENT, 0, 0);
    App().modFilters.dirs.clear();
    for (const auto& [name, dir] : filters) {
        auto index = static_cast<LPARAM>(App().modFilters.dirs.size());
        App().modFilters.dirs.emplace_back(dir.begin(), dir.end());
        LRESULT item = SendMessageW(box, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name.c_str()));
        SendMessageW(box, CB_SETITEMDATA, item, index);
    }
    // The box sorts its entries; the one to select is found by its item data.
    LRESULT count = SendMessageW(box, CB_GETCOUNT, 0, 0);
    SendMessageW(box, CB_SETCURSEL, static_cast<WPARAM>(-1), 0);
    for (LRESULT item = 0; item < count; ++item) {
        if (SendMessageW(box, CB_GETITEMDATA, item, 0) == selected) {
            SendMessageW(box, CB_SETCURSEL, item, 0);
        }
    }
}

void SetBuddyText(const std::wstring& text) {
    App().session.config.buddyText.assign(text.begin(), text.end());
    ParseBuddyList(App().buddies, App().session.config.buddyText);
}

void RecordStatusLine() {
    statusLines.clear();
    SetWindowSubclass(App().status.bar, StatusRecorder, 1, 0);
}

const std::vector<std::wstring>& RecordedStatusLines() {
    return statusLines;
}

std::wstring ModFilterText() {
    const std::optional<std::u16string>& text = App().modFilters.text;
    return text ? std::wstring(text->begin(), text->end()) : L"<none>";
}

std::wstring WindowText(HWND window) {
    int length = GetWindowTextLengthW(window);
    std::vector<wchar_t> text(length + 1);
    GetWindowTextW(window, text.data(), length + 1);
    return text.data();
}

int TextWidthIn(HWND control, const std::wstring& text) {
    HDC dc = GetDC(control);
    HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0)));
    SIZE size{};
    GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
    SelectObject(dc, old);
    ReleaseDC(control, dc);
    return size.cx;
}

std::wstring StatusPartText(int part) {
    LRESULT length = LOWORD(SendMessageW(App().status.bar, SB_GETTEXTLENGTHW, part, 0));
    std::vector<wchar_t> text(length + 1);
    SendMessageW(App().status.bar, SB_GETTEXTW, part, reinterpret_cast<LPARAM>(text.data()));
    return text.data();
}

std::vector<std::wstring> BoxEntries() {
    HWND box = GetDlgItem(App().hMainDlg, IDC_MOD_FILTER);
    std::vector<std::wstring> entries;
    for (LRESULT i = 0, count = SendMessageW(box, CB_GETCOUNT, 0, 0); i < count; ++i) {
        std::vector<wchar_t> text(SendMessageW(box, CB_GETLBTEXTLEN, i, 0) + 1);
        SendMessageW(box, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text.data()));
        entries.emplace_back(text.data());
    }
    return entries;
}

void UserSelects(const std::wstring& entry) {
    HWND box = GetDlgItem(App().hMainDlg, IDC_MOD_FILTER);
    std::vector<std::wstring> entries = BoxEntries();
    for (size_t i = 0; i < entries.size(); ++i) {
        if (entries[i] == entry) {
            SendMessageW(box, CB_SETCURSEL, i, 0);
            SendMessageW(App().hMainDlg, WM_COMMAND, MAKEWPARAM(IDC_MOD_FILTER, CBN_SELCHANGE),
                         reinterpret_cast<LPARAM>(box));
            return;
        }
    }
    ADD_FAILURE() << "no entry " << testing::PrintToString(entry);
}
