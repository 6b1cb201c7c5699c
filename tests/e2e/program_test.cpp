// The real skerrow.exe, started as a user starts it, watched and closed from outside.
#include <windows.h>

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "find_window.h"
#include "remote_controls.h"
#include "simulator_client.h"

namespace {

constexpr DWORD WINDOW_TIMEOUT_MS = 30000;
constexpr DWORD EXIT_TIMEOUT_MS = 30000;
constexpr int EXIT_BUTTON_ID = 1019;
constexpr int SERVER_LIST_ID = 1017;
constexpr int STATUS_BAR_ID = 140;

std::wstring ProgramPath() {
    // skerrow.exe is built into the same folder as this test.
    wchar_t path[MAX_PATH];
    DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder(path, length);
    return folder.substr(0, folder.find_last_of(L"\\/") + 1) + L"skerrow.exe";
}

class RunningProgram {
public:
    RunningProgram() {
        std::wstring commandLine = L"\"" + ProgramPath() + L"\"";
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        created_ = CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                                  &process_);
    }
    ~RunningProgram() {
        if (created_) {
            if (WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT) {
                TerminateProcess(process_.hProcess, 99);
            }
            CloseHandle(process_.hThread);
            CloseHandle(process_.hProcess);
        }
    }
    bool Created() const { return created_; }
    DWORD Id() const { return process_.dwProcessId; }

    // The exit code, or STILL_ACTIVE when it did not end in time.
    DWORD WaitForExit() const {
        DWORD code = STILL_ACTIVE;
        if (WaitForSingleObject(process_.hProcess, EXIT_TIMEOUT_MS) == WAIT_OBJECT_0) {
            GetExitCodeProcess(process_.hProcess, &code);
        }
        return code;
    }

private:
    PROCESS_INFORMATION process_{};
    bool created_ = false;
};

TEST(Program, ShowsItsWindowAndEndsWithCodeZeroWhenClosed) {
    RunningProgram program;
    ASSERT_TRUE(program.Created()) << "cannot start skerrow.exe, error " << GetLastError();
    HWND window = WaitForTopLevelWindow(L"Skerrow", program.Id(), WINDOW_TIMEOUT_MS);
    ASSERT_NE(window, nullptr) << "no visible window titled Skerrow";

    wchar_t className[64];
    GetClassNameW(window, className, 64);
    EXPECT_STREQ(className, L"#32770") << "the main window is a dialog";
    EXPECT_NE(GetDlgItem(window, EXIT_BUTTON_ID), nullptr);

    PostMessageW(window, WM_CLOSE, 0, 0);
    EXPECT_EQ(program.WaitForExit(), 0u);
}

TEST(Program, EndsWithCodeZeroFromTheExitButton) {
    RunningProgram program;
    ASSERT_TRUE(program.Created());
    HWND window = WaitForTopLevelWindow(L"Skerrow", program.Id(), WINDOW_TIMEOUT_MS);
    ASSERT_NE(window, nullptr);
    HWND exitButton = GetDlgItem(window, EXIT_BUTTON_ID);
    ASSERT_NE(exitButton, nullptr);

    PostMessageW(window, WM_COMMAND, MAKEWPARAM(EXIT_BUTTON_ID, BN_CLICKED), reinterpret_cast<LPARAM>(exitButton));
    EXPECT_EQ(program.WaitForExit(), 0u);
}

TEST(Program, BrowsesEveryServerOfTheMasterListAtStartUp) {
    std::string scenario;
    std::set<std::wstring> hostnames;
    for (int i = 0; i < 12; ++i) {
        std::string name = "E2E Server " + std::to_string(i);
        scenario += "[server]\naddress = 127.0.0.1:" + std::to_string(27910 + i) + "\nhostname = " + name +
                    "\nmaxclients = 8\nplayer = 1 20 \"p\"\ndelay_ms = " + std::to_string(i * 7) + "\n";
        hostnames.insert(std::wstring(name.begin(), name.end()));
    }
    ASSERT_EQ(SimLoad(scenario), "OK");

    RunningProgram program;
    ASSERT_TRUE(program.Created());
    HWND window = WaitForTopLevelWindow(L"Skerrow", program.Id(), WINDOW_TIMEOUT_MS);
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(AwaitRemoteStatus(GetDlgItem(window, STATUS_BAR_ID), L"Completed.", 30000),
              L"Completed. 12 of 12 servers responded.");

    HWND list = GetDlgItem(window, SERVER_LIST_ID);
    ASSERT_EQ(RemoteListRowCount(list), 12);
    std::set<std::wstring> shown;
    for (int row = 0; row < 12; ++row) {
        shown.insert(RemoteListItemText(list, row, 0));
    }
    EXPECT_EQ(shown, hostnames);
    EXPECT_EQ(RemoteStatusText(GetDlgItem(window, STATUS_BAR_ID), 2), L"12 Servers");

    PostMessageW(window, WM_CLOSE, 0, 0);
    EXPECT_EQ(program.WaitForExit(), 0u);
}

} // namespace
