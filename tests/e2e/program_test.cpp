// The real skerrow.exe, started as a user starts it, watched and closed from outside.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "find_window.h"
#include "game_drive.h"
#include "remote_controls.h"
#include "simulator_client.h"

namespace {

constexpr DWORD WINDOW_TIMEOUT_MS = 30000;
constexpr DWORD EXIT_TIMEOUT_MS = 30000;
constexpr int EXIT_BUTTON_ID = 1019;
constexpr int SERVER_LIST_ID = 1017;
constexpr int STATUS_BAR_ID = 140;
constexpr int SHOW_FULL_ID = 1028;
constexpr int SHOW_EMPTY_ID = 1029;
constexpr int MOD_FILTER_ID = 1031;
constexpr const wchar_t* SETTINGS_KEY = L"SOFTWARE\\Corvell\\Skerrow";
constexpr int MESSAGE_BOX_TEXT_ID = 0xFFFF;

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
    // The program's main window once it is visible, or null.
    HWND AwaitWindow() const { return created_ ? WaitForTopLevelWindow(L"Skerrow", Id(), WINDOW_TIMEOUT_MS) : nullptr; }
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

// Servers whose hostnames sort the other way round from their pings, which lie far enough apart that a
// busy machine's scheduling does not swap them.
std::string ServersForSorting(std::vector<std::wstring>& namesInOrder) {
    std::string scenario = "[filters]\ntext = \"CTF\\nctf\\nAll Deathmatch\\nffa\\n\"\n";
    for (int i = 0; i < 4; ++i) {
        std::string name = std::string("Host ") + char('A' + i);
        scenario += "[server]\naddress = 127.0.0.1:" + std::to_string(27920 + i) + "\nmod = ctf\nhostname = " + name +
                    "\nmaxclients = 8\nplayer = 1 20 \"p\"\ndelay_ms = " + std::to_string(200 - 60 * i) + "\n";
        namesInOrder.emplace_back(name.begin(), name.end());
    }
    return scenario;
}

std::vector<std::wstring> ListedNames(HWND list) {
    std::vector<std::wstring> names;
    for (int row = 0; row < RemoteListRowCount(list); ++row) {
        names.push_back(RemoteListItemText(list, row, 0));
    }
    return names;
}

bool Checked(HWND window, int id) {
    return SendDlgItemMessageW(window, id, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

RECT WindowRectOf(HWND window) {
    RECT rect{};
    GetWindowRect(window, &rect);
    return rect;
}

std::wstring AwaitCompletion(HWND window) {
    return AwaitRemoteStatus(GetDlgItem(window, STATUS_BAR_ID), L"Completed.", 30000);
}

// The target of the last server list request the simulator saw.
std::string LastListRequest() {
    std::string target;
    for (const std::string& line : SimLogOf("http")) {
        if (SimLogField(line, "target") != "/filters") {
            target = SimLogField(line, "target");
        }
    }
    return target;
}

TEST(Program, ComesBackAfterARestartAsItWasLeft) {
    RegDeleteTreeW(HKEY_CURRENT_USER, SETTINGS_KEY);
    std::vector<std::wstring> byName;
    ASSERT_EQ(SimLoad(ServersForSorting(byName)), "OK");
    RECT placed{};
    {
        RunningProgram program;
        HWND window = program.AwaitWindow();
        ASSERT_NE(window, nullptr);
        ASSERT_EQ(AwaitCompletion(window), L"Completed. 4 of 4 servers responded.");
        HWND list = GetDlgItem(window, SERVER_LIST_ID);
        EXPECT_EQ(ListedNames(list), std::vector<std::wstring>(byName.rbegin(), byName.rend())) << "by ping";

        // Sorted by name with a click on the first column's header, as a user does.
        HWND header = reinterpret_cast<HWND>(SendMessageW(list, LVM_GETHEADER, 0, 0));
        SendMessageW(header, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10, 5));
        SendMessageW(header, WM_LBUTTONUP, 0, MAKELPARAM(10, 5));
        EXPECT_EQ(ListedNames(list), byName);

        HWND box = GetDlgItem(window, MOD_FILTER_ID);
        ASSERT_NE(SendMessageW(box, CB_SELECTSTRING, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(L"CTF")),
                  CB_ERR);
        SendMessageW(window, WM_COMMAND, MAKEWPARAM(MOD_FILTER_ID, CBN_SELCHANGE), reinterpret_cast<LPARAM>(box));
        ASSERT_EQ(AwaitCompletion(window), L"Completed. 4 of 4 servers responded.");
        SendDlgItemMessageW(window, SHOW_FULL_ID, BM_CLICK, 0, 0);
        SetWindowPos(window, nullptr, 33, 44, 1000, 640, SWP_NOZORDER | SWP_NOACTIVATE);
        placed = WindowRectOf(window);
        PostMessageW(window, WM_CLOSE, 0, 0);
        ASSERT_EQ(program.WaitForExit(), 0u);
    }

    RunningProgram program;
    HWND window = program.AwaitWindow();
    ASSERT_NE(window, nullptr);
    ASSERT_EQ(AwaitCompletion(window), L"Completed. 4 of 4 servers responded.");
    RECT reopened = WindowRectOf(window);
    EXPECT_TRUE(EqualRect(&reopened, &placed));
    EXPECT_FALSE(Checked(window, SHOW_FULL_ID));
    EXPECT_TRUE(Checked(window, SHOW_EMPTY_ID));
    // The remembered filter is selected again and is what the first run asked the master for.
    HWND box = GetDlgItem(window, MOD_FILTER_ID);
    LRESULT selection = SendMessageW(box, CB_GETCURSEL, 0, 0);
    EXPECT_EQ(SendMessageW(box, CB_GETLBTEXTLEN, selection, 0), 3) << "\"CTF\"";
    EXPECT_EQ(LastListRequest(), "/?mod=ctf&raw=2");
    EXPECT_EQ(ListedNames(GetDlgItem(window, SERVER_LIST_ID)), byName);
    PostMessageW(window, WM_CLOSE, 0, 0);
    EXPECT_EQ(program.WaitForExit(), 0u);
    RegDeleteTreeW(HKEY_CURRENT_USER, SETTINGS_KEY);
}

std::wstring SavedText(const wchar_t* name) {
    wchar_t text[MAX_PATH] = L"";
    DWORD bytes = sizeof text;
    RegGetValueW(HKEY_CURRENT_USER, SETTINGS_KEY, name, RRF_RT_REG_SZ, nullptr, text, &bytes);
    return text;
}

TEST(Program, DoubleClickingAServerStartsTheGameConnectedToItAndEnds) {
    ASSERT_TRUE(GameDriveReady()) << "the Wine prefix needs G: as a fixed drive and Z: as another kind";
    ASSERT_TRUE(ClearGameDrive());
    ASSERT_TRUE(PutTestGame(L"G:\\Games\\Quake2\\quake2.exe"));
    RegDeleteTreeW(HKEY_CURRENT_USER, SETTINGS_KEY);
    ASSERT_EQ(SimLoad("[server]\naddress = 127.0.0.1:27930\nhostname = Join Me\nmaxclients = 8\n"), "OK");

    RunningProgram program;
    HWND window = program.AwaitWindow();
    ASSERT_NE(window, nullptr);
    ASSERT_EQ(AwaitCompletion(window), L"Completed. 1 of 1 servers responded.");
    // A double-click on the first row, just below the column headers, as the mouse makes it.
    HWND list = GetDlgItem(window, SERVER_LIST_ID);
    RECT header = WindowRectOf(reinterpret_cast<HWND>(SendMessageW(list, LVM_GETHEADER, 0, 0)));
    MapWindowPoints(nullptr, list, reinterpret_cast<POINT*>(&header), 2);
    PostMessageW(list, WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(20, header.bottom + 6));

    // No game directory is set yet: the search finds the game on G: and asks.
    HWND question = WaitForTopLevelWindow(L"Quake II Location", program.Id(), WINDOW_TIMEOUT_MS);
    ASSERT_NE(question, nullptr);
    wchar_t text[512] = L"";
    GetDlgItemTextW(question, MESSAGE_BOX_TEXT_ID, text, 512);
    EXPECT_STREQ(text, L"Skerrow found 'quake2.exe' in:\r\n\tG:\\Games\\Quake2\\\r\nIs this the one you wish to use?");
    PostMessageW(question, WM_COMMAND, MAKEWPARAM(IDYES, BN_CLICKED), 0);

    EXPECT_EQ(program.WaitForExit(), 0u) << "a join ends the program";
    LaunchRecord record = AwaitLaunchRecord(L"G:\\Games\\Quake2\\");
    EXPECT_EQ(record.commandLine, L"\"G:\\Games\\Quake2\\\\quake2.exe\" +connect \"127.0.0.1:27930\"");
    EXPECT_EQ(record.currentDir, L"G:\\Games\\Quake2");
    EXPECT_EQ(SavedText(L"Quake II Directory"), L"G:\\Games\\Quake2\\");
    RegDeleteTreeW(HKEY_CURRENT_USER, SETTINGS_KEY);
    ClearGameDrive();
}

// The rest runs against the real master service, which tests/e2e/with-master-service starts on 127.0.0.1:80 (the
// simulator's web service closed) with its master port on 127.0.0.1:27900; it knows the game servers only from their
// heartbeats.
constexpr unsigned short MASTER_HTTP_PORT = 80;

// How many servers the master service lists for every mod, or -1 when it does not answer.
int MasterListCount() {
    std::string response = LoopbackExchange(MASTER_HTTP_PORT, "GET /?mod=&raw=2 HTTP/1.1\r\nHost: 127.0.0.1\r\n"
                                                        "Connection: close\r\n\r\n");
    size_t body = response.find("\r\n\r\n");
    if (response.compare(0, 12, "HTTP/1.1 200") != 0 || body == std::string::npos) {
        return -1;
    }
    return static_cast<int>((response.size() - body - 4) / 6);
}

std::set<std::wstring> ModFilterNames(HWND box) {
    std::set<std::wstring> names;
    for (LRESULT i = 0; i < SendMessageW(box, CB_GETCOUNT, 0, 0); ++i) {
        std::vector<wchar_t> text(SendMessageW(box, CB_GETLBTEXTLEN, i, 0) + 1);
        SendMessageW(box, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text.data()));
        names.insert(text.data());
    }
    return names;
}

// Picks a mod as a user does and waits for the run to end with the expected status: a text that differs from the
// last run's, since the new run may not have begun when the pick returns.
std::wstring PickModFilter(HWND window, const wchar_t* name, const std::wstring& expected) {
    HWND box = GetDlgItem(window, MOD_FILTER_ID);
    if (SendMessageW(box, CB_SELECTSTRING, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(name)) == CB_ERR) {
        return L"no entry";
    }
    SendMessageW(window, WM_COMMAND, MAKEWPARAM(MOD_FILTER_ID, CBN_SELCHANGE), reinterpret_cast<LPARAM>(box));
    return AwaitRemoteStatus(GetDlgItem(window, STATUS_BAR_ID), expected, 30000);
}

std::set<std::wstring> ListedNameSet(HWND window) {
    std::vector<std::wstring> names = ListedNames(GetDlgItem(window, SERVER_LIST_ID));
    return {names.begin(), names.end()};
}

TEST(MasterService, ListsServersKnownOnlyThroughTheirHeartbeatsWithTheirModsInTheFilterBox) {
    RegDeleteTreeW(HKEY_CURRENT_USER, SETTINGS_KEY);
    std::string scenario = "[master]\nrefuse = 1\n[heartbeat]\nmaster = 127.0.0.1:27900\n";
    const char* servers[][3] = {{"Flag One", "ctf", ""},
                                {"Flag Two", "ctf", ""},
                                {"Action One", "action", ""},
                                {"Cookie One", "q2cookie", ""},
                                {"Cookie Two", "q2cookie", ""},
                                {"Cookie Three", "q2cookie", ""},
                                {"Never Answers", "ctf", "silent = 1\n"}};
    for (int i = 0; i < 7; ++i) {
        scenario += "[server]\naddress = 127.0.0.1:" + std::to_string(27910 + i) + "\nhostname = " + servers[i][0] +
                    "\ngamename = " + servers[i][1] + "\nmaxclients = 8\nplayer = 1 20 \"p\"\n" + servers[i][2];
    }
    ASSERT_EQ(SimLoad(scenario), "OK");
    for (int wait = 0; wait < 100 && MasterListCount() != 6; ++wait) {
        Sleep(100);
    }
    ASSERT_EQ(MasterListCount(), 6) << "the service has checked the servers that heartbeat and answer";

    RunningProgram program;
    HWND window = program.AwaitWindow();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(AwaitCompletion(window), L"Completed. 6 of 6 servers responded.");
    EXPECT_EQ(ListedNameSet(window), (std::set<std::wstring>{L"Flag One", L"Flag Two", L"Action One", L"Cookie One",
                                                             L"Cookie Two", L"Cookie Three"}));

    // The service's filter list: the browser's built-in mods, then the game directory of live servers it lacks.
    HWND box = GetDlgItem(window, MOD_FILTER_ID);
    std::set<std::wstring> expected = {
        L"(No Filter)", L"Action Quake II", L"CTF",  L"D-Day", L"Deathmatch",     L"Gloom", L"KOTS",
        L"TDM / Duel",  L"Vortex",          L"Jump", L"LOX",   L"Rocket Arena 2", L"WODX",  L"q2cookie"};
    for (int wait = 0; wait < 100 && ModFilterNames(box) != expected; ++wait) {
        Sleep(100);
    }
    EXPECT_EQ(ModFilterNames(box), expected);

    const wchar_t* two = L"Completed. 2 of 2 servers responded.";
    EXPECT_EQ(PickModFilter(window, L"CTF", two), two);
    EXPECT_EQ(ListedNameSet(window), (std::set<std::wstring>{L"Flag One", L"Flag Two"}));
    const wchar_t* three = L"Completed. 3 of 3 servers responded.";
    EXPECT_EQ(PickModFilter(window, L"q2cookie", three), three);
    EXPECT_EQ(ListedNameSet(window), (std::set<std::wstring>{L"Cookie One", L"Cookie Two", L"Cookie Three"}));
    EXPECT_TRUE(SimLogOf("http").empty()) << "nothing asked the simulator's web service";

    PostMessageW(window, WM_CLOSE, 0, 0);
    EXPECT_EQ(program.WaitForExit(), 0u);
    RegDeleteTreeW(HKEY_CURRENT_USER, SETTINGS_KEY);
}

} // namespace
