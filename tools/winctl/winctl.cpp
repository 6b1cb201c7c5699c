// winctl: small window chores for the demo script, run under Wine beside the program.
//   winctl wait TITLE [MS]    waits until a visible top-level window titled TITLE exists (exit 0) or MS pass (1)
//   winctl close TITLE [MS]   asks that window to close (WM_CLOSE), waits for its process to end and exits with
//                             the process's exit code (2 if it did not end in time)
//   winctl geometry TITLE [MS] prints that window's rectangle as WIDTHxHEIGHT+X+Y (the form ImageMagick crops by)
//   winctl status TITLE PREFIX [MS]  waits until the window's status line begins with PREFIX; prints the line and
//                             the server list's row count (exit 0), or the last line seen after MS (exit 1)
//   winctl select TITLE [MS]  selects the first server list row whose server has players, so the player list
//                             shows them; prints the row's host name (exit 0), or exits 1 when no row has players
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>

#include "find_window.h"
#include "remote_controls.h"

namespace {

DWORD TimeoutArgument(int argc, wchar_t** argv) {
    return argc > 3 ? static_cast<DWORD>(std::wcstoul(argv[3], nullptr, 10)) : 20000;
}

int CloseWindowAndWait(const wchar_t* title, DWORD timeoutMs) {
    HWND window = WaitForTopLevelWindow(title, 0, timeoutMs);
    if (!window) {
        std::fwprintf(stderr, L"winctl: no window titled '%ls'\n", title);
        return 1;
    }
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    HANDLE process = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId);
    PostMessageW(window, WM_CLOSE, 0, 0);
    if (!process) {
        return 0;
    }
    DWORD code = 2;
    if (WaitForSingleObject(process, timeoutMs) == WAIT_OBJECT_0) {
        GetExitCodeProcess(process, &code);
    }
    CloseHandle(process);
    return static_cast<int>(code);
}

int PrintGeometry(const wchar_t* title, DWORD timeoutMs) {
    HWND window = WaitForTopLevelWindow(title, 0, timeoutMs);
    RECT rect;
    if (!window || !GetWindowRect(window, &rect)) {
        return 1;
    }
    std::printf("%ldx%ld+%ld+%ld\n", rect.right - rect.left, rect.bottom - rect.top, rect.left, rect.top);
    return 0;
}

constexpr int STATUS_BAR_ID = 140;
constexpr int SERVER_LIST_ID = 1017;

int AwaitStatus(const wchar_t* title, const wchar_t* prefix, DWORD timeoutMs) {
    HWND window = WaitForTopLevelWindow(title, 0, timeoutMs);
    if (!window) {
        std::fwprintf(stderr, L"winctl: no window titled '%ls'\n", title);
        return 1;
    }
    std::wstring line = AwaitRemoteStatus(GetDlgItem(window, STATUS_BAR_ID), prefix, timeoutMs);
    if (line.rfind(prefix, 0) != 0) {
        std::fwprintf(stderr, L"winctl: status line still '%ls'\n", line.c_str());
        return 1;
    }
    std::wprintf(L"%ls\n%d rows\n", line.c_str(), RemoteListRowCount(GetDlgItem(window, SERVER_LIST_ID)));
    return 0;
}

constexpr int PLAYERS_COLUMN = 3; // "n / max"

int SelectServerWithPlayers(const wchar_t* title, DWORD timeoutMs) {
    HWND window = WaitForTopLevelWindow(title, 0, timeoutMs);
    HWND list = window ? GetDlgItem(window, SERVER_LIST_ID) : nullptr;
    for (int row = 0, rows = list ? RemoteListRowCount(list) : 0; row < rows; ++row) {
        if (RemoteListItemText(list, row, PLAYERS_COLUMN).rfind(L"0 ", 0) != 0) {
            if (!SelectRemoteListRow(list, row)) {
                return 1;
            }
            std::wprintf(L"%ls\n", RemoteListItemText(list, row, 0).c_str());
            return 0;
        }
    }
    std::fwprintf(stderr, L"winctl: no server with players in '%ls'\n", title);
    return 1;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc >= 3 && std::wcscmp(argv[1], L"wait") == 0) {
        return WaitForTopLevelWindow(argv[2], 0, TimeoutArgument(argc, argv)) ? 0 : 1;
    }
    if (argc >= 3 && std::wcscmp(argv[1], L"close") == 0) {
        return CloseWindowAndWait(argv[2], TimeoutArgument(argc, argv));
    }
    if (argc >= 3 && std::wcscmp(argv[1], L"geometry") == 0) {
        return PrintGeometry(argv[2], TimeoutArgument(argc, argv));
    }
    if (argc >= 4 && std::wcscmp(argv[1], L"status") == 0) {
        return AwaitStatus(argv[2], argv[3], argc > 4 ? static_cast<DWORD>(std::wcstoul(argv[4], nullptr, 10)) : 60000);
    }
    if (argc >= 3 && std::wcscmp(argv[1], L"select") == 0) {
        return SelectServerWithPlayers(argv[2], TimeoutArgument(argc, argv));
    }
    std::fwprintf(stderr, L"usage: winctl wait|close|geometry|select TITLE [MS] | status TITLE PREFIX [MS]\n");
    return 64;
}
