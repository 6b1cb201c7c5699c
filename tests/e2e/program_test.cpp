// The real skerrow.exe, started as a user starts it, watched and closed from outside.
#include <windows.h>
#include <commctrl.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "find_window.h"
#include "game_drive.h"
#include "picture.h"
#include "remote_controls.h"
#include "simulator_client.h"
#include "simulator_masters.h"

namespace {

constexpr DWORD WINDOW_TIMEOUT_MS = 30000;
constexpr DWORD EXIT_TIMEOUT_MS = 30000;
constexpr int EXIT_BUTTON_ID = 1019;
constexpr int SERVER_LIST_ID = 1017;
constexpr int STATUS_BAR_ID = 140;
constexpr int SHOW_FULL_ID = 1028;
constexpr int SHOW_EMPTY_ID = 1029;
constexpr int MOD_FILTER_ID = 1031;
constexpr int SEARCH_ID = 1037;
constexpr int SHOW_ID = 1043;
constexpr const wchar_t* SETTINGS_KEY = L"SOFTWARE\\Corvell\\Skerrow";
constexpr int MESSAGE_BOX_TEXT_ID = 0xFFFF;

// A first start's settings, but for the LAN search: it broadcasts on every network of the machine that can, so it is
// on only inside a LAN check's own network namespace, whose network is the test's. A key that holds a value is no
// first start, so both Full and Empty boxes are checked as a first start shows them, there as here.
void ForgetProgramSettings() {
    ForgetSettings(SETTINGS_KEY);
    const DWORD checked = 1;
    RegSetKeyValueW(HKEY_CURRENT_USER, SETTINGS_KEY, L"Show Empty Servers", REG_DWORD, &checked, sizeof checked);
    RegSetKeyValueW(HKEY_CURRENT_USER, SETTINGS_KEY, L"Show Full Servers", REG_DWORD, &checked, sizeof checked);
    if (!OnALanOfItsOwn()) {
        const DWORD off = 0;
        RegSetKeyValueW(HKEY_CURRENT_USER, SETTINGS_KEY, L"Search LAN", REG_DWORD, &off, sizeof off);
    }
}

// The first test starts from those settings too, and the last leaves none behind.
class ProgramSettings : public testing::Environment {
public:
    void SetUp() override { ForgetProgramSettings(); }
    void TearDown() override { ForgetSettings(SETTINGS_KEY); }
};
const testing::Environment* const programSettings = testing::AddGlobalTestEnvironment(new ProgramSettings);

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

    // Typed into the search box (any case): the servers whose names hold it, of the twelve listed; Esc in the box,
    // as the keyboard sends it, shows all twelve again.
    HWND search = GetDlgItem(window, SEARCH_ID);
    SendMessageW(search, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"e2e SERVER 1"));
    std::set<std::wstring> found;
    for (int row = 0; row < RemoteListRowCount(list); ++row) {
        found.insert(RemoteListItemText(list, row, 0));
    }
    EXPECT_EQ(found, (std::set<std::wstring>{L"E2E Server 1", L"E2E Server 10", L"E2E Server 11"}));
    EXPECT_EQ(RemoteStatusText(GetDlgItem(window, STATUS_BAR_ID), 2), L"3 of 12 Servers");
    PostMessageW(search, WM_KEYDOWN, VK_ESCAPE, 0x00010001);
    PostMessageW(search, WM_KEYUP, VK_ESCAPE, 0xC0010001);
    for (int wait = 0; wait < 100 && RemoteListRowCount(list) != 12; ++wait) {
        Sleep(50);
    }
    EXPECT_EQ(RemoteListRowCount(list), 12);
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
    ForgetProgramSettings();
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
    ForgetProgramSettings();
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
    ForgetProgramSettings();
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
    // The join is in the history, with its time.
    wchar_t history[256] = L"";
    DWORD size = sizeof history;
    ASSERT_EQ(
        RegGetValueW(HKEY_CURRENT_USER, SETTINGS_KEY, L"Recent Servers", RRF_RT_REG_MULTI_SZ, nullptr, history, &size),
        ERROR_SUCCESS);
    EXPECT_EQ(std::wstring(history).substr(0, 16), L"127.0.0.1:27930 ");
    EXPECT_EQ(std::wstring(history).size(), 36u) << "and a time: YYYY-MM-DDTHH:MM:SSZ";
    ForgetProgramSettings();
    ClearGameDrive();
}

// The rest runs against the real master service, which tests/e2e/with-master-service starts on 127.0.0.1:80 (the
// simulator's web service closed) with its master port on 127.0.0.1:27900; it knows the game servers only from their
// heartbeats.
constexpr unsigned short MASTER_HTTP_PORT = 80;
// Every scenario of these tests keeps the simulator's web service closed: the service holds port 80.
constexpr const char* SERVICE_OWNS_PORT_80 = "[master]\nrefuse = 1\n";
constexpr const char* HEARTBEATS_TO_SERVICE = "[heartbeat]\nmaster = 127.0.0.1:27900\n";

// The ports of the servers on 127.0.0.1 that the master service lists for every mod (empty when it does not answer).
std::set<int> MasterListedPorts() {
    std::string response = LoopbackExchange(MASTER_HTTP_PORT, "GET /?mod=&raw=2 HTTP/1.1\r\nHost: 127.0.0.1\r\n"
                                                              "Connection: close\r\n\r\n");
    size_t body = response.find("\r\n\r\n");
    std::set<int> ports;
    if (response.compare(0, 12, "HTTP/1.1 200") != 0 || body == std::string::npos) {
        return ports;
    }
    for (size_t entry = body + 4; entry + 6 <= response.size(); entry += 6) {
        auto byte = [&](size_t at) { return static_cast<unsigned char>(response[entry + at]); };
        if (byte(0) == 127 && byte(1) == 0 && byte(2) == 0 && byte(3) == 1) {
            ports.insert(byte(4) << 8 | byte(5));
        }
    }
    return ports;
}

// Waits until the service lists exactly the servers on these ports (it checks a server after its heartbeat before it
// lists it), and has listed them for a second: the shutdowns of the last scenario's servers, which a new one sends,
// may still be on their way and unlist servers of the same addresses for a moment. With `orMore`, others may be
// listed beside them: one the last scenario left listed stays while a server of this one answers on its port.
bool AwaitMasterListing(const std::set<int>& ports, bool orMore = false) {
    int steady = 0;
    for (int wait = 0; wait < 150 && steady < 10; ++wait) {
        std::set<int> listed = MasterListedPorts();
        bool ready = orMore ? std::includes(listed.begin(), listed.end(), ports.begin(), ports.end()) : listed == ports;
        steady = ready ? steady + 1 : 0;
        Sleep(100);
    }
    return steady >= 10;
}

// A game server on 127.0.0.1 that answers with its hostname and one player; `more` adds keys.
std::string ServerSection(int port, const std::string& hostname, const std::string& more = "") {
    return "[server]\naddress = 127.0.0.1:" + std::to_string(port) + "\nhostname = " + hostname +
           "\nmaxclients = 8\nplayer = 1 20 \"p\"\n" + more;
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
    ForgetProgramSettings();
    std::string scenario = std::string(SERVICE_OWNS_PORT_80) + HEARTBEATS_TO_SERVICE;
    const char* servers[][3] = {{"Flag One", "ctf", ""},
                                {"Flag Two", "ctf", ""},
                                {"Action One", "action", ""},
                                {"Cookie One", "q2cookie", ""},
                                {"Cookie Two", "q2cookie", ""},
                                {"Cookie Three", "q2cookie", ""},
                                {"Never Answers", "ctf", "silent = 1\n"}};
    for (int i = 0; i < 7; ++i) {
        scenario +=
            ServerSection(27910 + i, servers[i][0], "gamename = " + std::string(servers[i][1]) + "\n" + servers[i][2]);
    }
    ASSERT_EQ(SimLoad(scenario), "OK");
    ASSERT_TRUE(AwaitMasterListing({27910, 27911, 27912, 27913, 27914, 27915}))
        << "the service has checked the servers that heartbeat and answer";

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
    ForgetProgramSettings();
}

// Several masters, favourites and the remembered list. The service's master port takes three list queries from one
// address, then one every 20 s: one of these tests asks it; the others ask the simulator's UDP masters.
constexpr const wchar_t* MASTERS_VALUE = L"Master Servers";
constexpr const wchar_t* FAVOURITES_VALUE = L"Favourite Servers";
// Nothing listens there: a web master that refuses the connection.
constexpr const wchar_t* REFUSED_WEB_MASTER = L"http://127.0.0.1:81";
constexpr const wchar_t* REFUSED_WEB_MASTER_FAILED = L"Failed to download server list from 127.0.0.1:81.";
// The service's master port, written with the default port left out.
constexpr const wchar_t* SERVICE_UDP_MASTER = L"127.0.0.1";
// Where the server list's context menu has its items, counted as the arrow keys stop at them (the separator before
// "Add to Favourites" is passed over); Wine lets no other process read them.
constexpr int MENU_SERVER_INFO_POSITION = 2;
constexpr int MENU_ADD_TO_FAVOURITES_POSITION = 3;
constexpr int INFO_LIST_ID = 1040;
constexpr int INFO_SOURCES_ID = 1042;

bool WriteMultiText(const wchar_t* name, const std::vector<std::wstring>& strings) {
    std::wstring data;
    for (const std::wstring& text : strings) {
        data += text;
        data += L'\0';
    }
    data += L'\0';
    return RegSetKeyValueW(HKEY_CURRENT_USER, SETTINGS_KEY, name, REG_MULTI_SZ, data.data(),
                           static_cast<DWORD>(data.size() * sizeof(wchar_t))) == ERROR_SUCCESS;
}

std::vector<std::wstring> ReadMultiText(const wchar_t* name) {
    DWORD bytes = 0;
    if (RegGetValueW(HKEY_CURRENT_USER, SETTINGS_KEY, name, RRF_RT_REG_MULTI_SZ, nullptr, nullptr, &bytes) !=
        ERROR_SUCCESS) {
        return {};
    }
    std::vector<wchar_t> data(bytes / sizeof(wchar_t) + 2, L'\0');
    RegGetValueW(HKEY_CURRENT_USER, SETTINGS_KEY, name, RRF_RT_REG_MULTI_SZ, nullptr, data.data(), &bytes);
    std::vector<std::wstring> strings;
    for (const wchar_t* text = data.data(); *text; text += wcslen(text) + 1) {
        strings.emplace_back(text);
    }
    return strings;
}

// The remembered lists ("remembered-*.list") in the user's local application data folder, a few levels down.
void FindRememberedLists(const std::wstring& folder, int depth, std::vector<std::wstring>* found) {
    WIN32_FIND_DATAW entry;
    HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &entry);
    if (search == INVALID_HANDLE_VALUE) {
        return;
    }
    do {
        std::wstring name = entry.cFileName;
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            if (depth > 0 && name != L"." && name != L"..") {
                FindRememberedLists(folder + L"\\" + name, depth - 1, found);
            }
        } else if (name.rfind(L"remembered-", 0) == 0 && name.size() > 5 &&
                   name.compare(name.size() - 5, 5, L".list") == 0) {
            found->push_back(folder + L"\\" + name);
        }
    } while (FindNextFileW(search, &entry));
    FindClose(search);
}

std::vector<std::wstring> RememberedLists() {
    wchar_t folder[MAX_PATH];
    std::vector<std::wstring> found;
    if (SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, folder) == S_OK) {
        FindRememberedLists(folder, 3, &found);
    }
    return found;
}

// What each of these tests starts from: the settings key with only these masters (and favourites), and no list
// remembered by an earlier test. Both go again with it.
class MasterSettings {
public:
    explicit MasterSettings(const std::vector<std::wstring>& masters,
                            const std::vector<std::wstring>& favourites = {}) {
        Clear();
        written_ = WriteMultiText(MASTERS_VALUE, masters) &&
                   (favourites.empty() || WriteMultiText(FAVOURITES_VALUE, favourites));
    }
    ~MasterSettings() { Clear(); }
    MasterSettings(const MasterSettings&) = delete;
    MasterSettings& operator=(const MasterSettings&) = delete;
    bool Written() const { return written_; }

private:
    static void Clear() {
        ForgetProgramSettings();
        for (const std::wstring& path : RememberedLists()) {
            DeleteFileW(path.c_str());
        }
    }
    bool written_;
};

// A classic master of the simulator on 127.0.0.1 with the keys given.
std::string UdpMasterSection(int port, const std::string& keys) {
    return "[udp_master]\naddress = 127.0.0.1:" + std::to_string(port) + "\n" + keys;
}

// Every text the status line shows until it begins with "Completed." (the last one; an empty one when nothing was
// read), read as often as the machine lets us: a text shown for less time than a read takes may be missed.
std::vector<std::wstring> StatusTextsUntilCompleted(HWND window) {
    HWND status = GetDlgItem(window, STATUS_BAR_ID);
    std::vector<std::wstring> texts;
    DWORD start = GetTickCount();
    while (GetTickCount() - start < 30000) {
        std::wstring text = RemoteStatusText(status, 0);
        if (!text.empty() && (texts.empty() || texts.back() != text)) {
            texts.push_back(text);
        }
        if (text.rfind(L"Completed.", 0) == 0) {
            break;
        }
        Sleep(2);
    }
    if (texts.empty()) {
        texts.emplace_back();
    }
    return texts;
}

// The program started, and the status texts of its first run up to its completion.
struct WatchedRun {
    RunningProgram program;
    HWND window = program.AwaitWindow();
    std::vector<std::wstring> texts = window ? StatusTextsUntilCompleted(window) : std::vector<std::wstring>(1);
};

bool Shown(const std::vector<std::wstring>& texts, const std::wstring& text) {
    return std::find(texts.begin(), texts.end(), text) != texts.end();
}

std::string Joined(const std::vector<std::wstring>& texts) {
    std::string joined;
    for (const std::wstring& text : texts) {
        joined += "  \"" + std::string(text.begin(), text.end()) + "\"\n";
    }
    return joined;
}

std::vector<std::wstring> SortedNames(HWND window) {
    std::vector<std::wstring> names = ListedNames(GetDlgItem(window, SERVER_LIST_ID));
    std::sort(names.begin(), names.end());
    return names;
}

int RowOf(HWND window, const std::wstring& hostname) {
    std::vector<std::wstring> names = ListedNames(GetDlgItem(window, SERVER_LIST_ID));
    auto found = std::find(names.begin(), names.end(), hostname);
    return found == names.end() ? -1 : static_cast<int>(found - names.begin());
}

// Opens the server list's context menu on the server's row and picks the item at the position.
bool ChooseFromServerMenu(const RunningProgram& program, HWND window, const std::wstring& hostname, int position) {
    int row = RowOf(window, hostname);
    return row >= 0 && RightClickRemoteListRow(GetDlgItem(window, SERVER_LIST_ID), row) &&
           ChooseRemoteMenuItem(program.Id(), position, WINDOW_TIMEOUT_MS);
}

// The log lines of a kind whose field has the value.
std::vector<std::string> SimLogWhere(const char* kind, const char* key, const std::string& value) {
    std::vector<std::string> lines;
    for (const std::string& line : SimLogOf(kind)) {
        if (SimLogField(line, key) == value) {
            lines.push_back(line);
        }
    }
    return lines;
}

void CloseProgram(const RunningProgram& program, HWND window) {
    PostMessageW(window, WM_CLOSE, 0, 0);
    EXPECT_EQ(program.WaitForExit(), 0u);
}

TEST(MasterService, ARefusedWebMasterLeavesTheServersOfTheUdpMaster) {
    MasterSettings settings({REFUSED_WEB_MASTER, SERVICE_UDP_MASTER});
    ASSERT_TRUE(settings.Written());
    ASSERT_EQ(SimLoad(std::string(SERVICE_OWNS_PORT_80) + HEARTBEATS_TO_SERVICE + ServerSection(27910, "Udp One") +
                      ServerSection(27911, "Udp Two") + ServerSection(27912, "Udp Three")),
              "OK");
    ASSERT_TRUE(AwaitMasterListing({27910, 27911, 27912}));

    RunningProgram program;
    HWND window = program.AwaitWindow();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(AwaitCompletion(window),
              std::wstring(L"Completed. 3 of 3 servers responded. ") + REFUSED_WEB_MASTER_FAILED);
    EXPECT_EQ(SortedNames(window), (std::vector<std::wstring>{L"Udp One", L"Udp Three", L"Udp Two"}));
    CloseProgram(program, window);
}

TEST(MasterService, ServersThatTwoMastersListAppearOnce) {
    MasterSettings settings({SERVICE_UDP_MASTER, L"127.0.0.1:27901"});
    ASSERT_TRUE(settings.Written());
    ASSERT_EQ(SimLoad(std::string(SERVICE_OWNS_PORT_80) + HEARTBEATS_TO_SERVICE + ServerSection(27910, "Both One") +
                      ServerSection(27911, "Both Two") + ServerSection(27912, "Service Only") +
                      ServerSection(27913, "Simulator Only", "heartbeat = 0\n") +
                      UdpMasterSection(27901, "servers = 127.0.0.1:27911 127.0.0.1:27913 127.0.0.1:27910\n")),
              "OK");
    // 127.0.0.1:27913 may still be listed from the last test: this one's "Simulator Only" answers its checks.
    ASSERT_TRUE(AwaitMasterListing({27910, 27911, 27912}, true));

    RunningProgram program;
    HWND window = program.AwaitWindow();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(AwaitCompletion(window), L"Completed. 4 of 4 servers responded.");
    EXPECT_EQ(SortedNames(window),
              (std::vector<std::wstring>{L"Both One", L"Both Two", L"Service Only", L"Simulator Only"}));
    EXPECT_EQ(RemoteStatusText(GetDlgItem(window, STATUS_BAR_ID), 2), L"4 Servers");
    EXPECT_EQ(SimLogWhere("master-list", "master", "127.0.0.1:27901").size(), 1u);
    CloseProgram(program, window);
}

TEST(MasterService, AnAnswerFromAnotherPortThanTheMastersIsNotTaken) {
    MasterSettings settings({L"127.0.0.1:27901", L"127.0.0.1:27902"});
    ASSERT_TRUE(settings.Written());
    ASSERT_EQ(SimLoad(std::string(SERVICE_OWNS_PORT_80) + ServerSection(27920, "Rightly Listed") +
                      ServerSection(27921, "Wrongly Listed") + ServerSection(27922, "Also Wrongly Listed") +
                      UdpMasterSection(27901, "servers = 127.0.0.1:27921, 127.0.0.1:27922\nreply_from = 27903\n") +
                      UdpMasterSection(27902, "servers = 127.0.0.1:27920\ndelay_ms = 800\n")),
              "OK");

    WatchedRun run;
    ASSERT_NE(run.window, nullptr);
    EXPECT_EQ(run.texts.back(), L"Completed. 1 of 1 servers responded. No answer from master 127.0.0.1:27901.");
    // Nothing else happens before the late master's answer: the run's first line stays a while.
    EXPECT_TRUE(Shown(run.texts, L"Fetching server lists from 2 masters...")) << Joined(run.texts);
    EXPECT_EQ(SortedNames(run.window), std::vector<std::wstring>{L"Rightly Listed"});

    // The master did answer, each of the three times it was asked, from the wrong port.
    EXPECT_EQ(SimLogWhere("master-query", "master", "127.0.0.1:27901").size(), 3u);
    std::vector<std::string> answers = SimLogWhere("master-list", "master", "127.0.0.1:27901");
    EXPECT_EQ(answers.size(), 3u);
    for (const std::string& line : answers) {
        EXPECT_EQ(SimLogField(line, "from"), "127.0.0.1:27903");
    }
    // Ports the master service never heard of: only the program could query them.
    EXPECT_TRUE(SimLogWhere("query", "server", "127.0.0.1:27921").empty());
    EXPECT_TRUE(SimLogWhere("query", "server", "127.0.0.1:27922").empty());
    CloseProgram(run.program, run.window);
}

TEST(MasterService, AListSplitOverSeveralDatagramsIsTakenWhole) {
    MasterSettings settings({L"127.0.0.1:27901"});
    ASSERT_TRUE(settings.Written());
    std::string scenario = std::string(SERVICE_OWNS_PORT_80) + UdpMasterSection(27901, "per_datagram = 2\n");
    std::vector<std::wstring> names;
    for (int i = 0; i < 7; ++i) {
        std::string name = "Piece " + std::to_string(i);
        scenario += ServerSection(27910 + i, name);
        names.emplace_back(name.begin(), name.end());
    }
    ASSERT_EQ(SimLoad(scenario), "OK");

    RunningProgram program;
    HWND window = program.AwaitWindow();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(AwaitCompletion(window), L"Completed. 7 of 7 servers responded.");
    EXPECT_EQ(SortedNames(window), names);
    EXPECT_EQ(SimLogWhere("master-query", "master", "127.0.0.1:27901").size(), 1u) << "one answer is enough";
    EXPECT_EQ(SimLogOf("master-list").size(), 4u);
    CloseProgram(program, window);
}

TEST(MasterService, WhenNoMasterAnswersTheRememberedListIsQueried) {
    MasterSettings settings({REFUSED_WEB_MASTER, L"127.0.0.1:27901"});
    ASSERT_TRUE(settings.Written());
    std::string servers = ServerSection(27910, "Kept One") + ServerSection(27911, "Kept Two") +
                          ServerSection(27912, "Kept Three", "listed = 0\n");
    const std::vector<std::wstring> kept = {L"Kept One", L"Kept Two"};
    ASSERT_EQ(SimLoad(SERVICE_OWNS_PORT_80 + servers + UdpMasterSection(27901, "")), "OK");
    {
        RunningProgram program;
        HWND window = program.AwaitWindow();
        ASSERT_NE(window, nullptr);
        ASSERT_EQ(AwaitCompletion(window),
                  std::wstring(L"Completed. 2 of 2 servers responded. ") + REFUSED_WEB_MASTER_FAILED);
        EXPECT_EQ(SortedNames(window), kept);
        CloseProgram(program, window);
    }
    EXPECT_EQ(RememberedLists().size(), 1u) << "the list of \"(No Filter)\"";

    ASSERT_EQ(SimLoad(SERVICE_OWNS_PORT_80 + servers + UdpMasterSection(27901, "silent = 1\n")), "OK");
    RunningProgram program;
    HWND window = program.AwaitWindow();
    ASSERT_NE(window, nullptr);
    std::wstring closing = AwaitCompletion(window);
    const std::wstring expected =
        L"Completed. 2 of 2 servers responded. No master answered; the list was remembered on ";
    EXPECT_EQ(closing.substr(0, expected.size()), expected) << std::string(closing.begin(), closing.end());
    EXPECT_GT(closing.size(), expected.size() + 8) << "with its date and time";
    EXPECT_EQ(SortedNames(window), kept);
    EXPECT_EQ(SimLogWhere("master-query", "action", "silent").size(), 3u) << "asked three times";
    CloseProgram(program, window);
}

TEST(MasterService, AFavouriteAddedFromTheMenuIsQueriedAfterARestartThoughNoMasterListsIt) {
    MasterSettings settings({L"127.0.0.1:27901"});
    ASSERT_TRUE(settings.Written());
    std::string servers = ServerSection(27910, "Plain Server") + ServerSection(27911, "Loved Server");
    ASSERT_EQ(SimLoad(SERVICE_OWNS_PORT_80 + servers + UdpMasterSection(27901, "")), "OK");
    {
        RunningProgram program;
        HWND window = program.AwaitWindow();
        ASSERT_NE(window, nullptr);
        ASSERT_EQ(AwaitCompletion(window), L"Completed. 2 of 2 servers responded.");
        ASSERT_TRUE(ChooseFromServerMenu(program, window, L"Loved Server", MENU_ADD_TO_FAVOURITES_POSITION));
        // Stored as soon as it is added.
        for (int wait = 0; wait < 100 && ReadMultiText(FAVOURITES_VALUE).empty(); ++wait) {
            Sleep(50);
        }
        EXPECT_EQ(ReadMultiText(FAVOURITES_VALUE), std::vector<std::wstring>{L"127.0.0.1:27911"});
        CloseProgram(program, window);
    }
    EXPECT_EQ(ReadMultiText(FAVOURITES_VALUE), std::vector<std::wstring>{L"127.0.0.1:27911"});

    ASSERT_EQ(SimLoad(SERVICE_OWNS_PORT_80 + servers + UdpMasterSection(27901, "servers = 127.0.0.1:27910\n")), "OK");
    RunningProgram program;
    HWND window = program.AwaitWindow();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(AwaitCompletion(window), L"Completed. 2 of 2 servers responded.");
    EXPECT_EQ(SortedNames(window), (std::vector<std::wstring>{L"Loved Server", L"Plain Server"}));
    CloseProgram(program, window);
    EXPECT_EQ(ReadMultiText(FAVOURITES_VALUE), std::vector<std::wstring>{L"127.0.0.1:27911"});
}

TEST(MasterService, ServerInfoShowsTheRepliesKeysAndEveryMasterThatListedTheServer) {
    MasterSettings settings({L"127.0.0.1:27901", L"127.0.0.1:27902"});
    ASSERT_TRUE(settings.Written());
    ASSERT_EQ(SimLoad(std::string(SERVICE_OWNS_PORT_80) +
                      ServerSection(27910, "Info Host", "mapname = q2dm3\ninfo = fraglimit 30\n") +
                      UdpMasterSection(27901, "") + UdpMasterSection(27902, "")),
              "OK");
    RunningProgram program;
    HWND window = program.AwaitWindow();
    ASSERT_NE(window, nullptr);
    ASSERT_EQ(AwaitCompletion(window), L"Completed. 1 of 1 servers responded.");
    ASSERT_TRUE(ChooseFromServerMenu(program, window, L"Info Host", MENU_SERVER_INFO_POSITION));
    HWND dialog = WaitForTopLevelWindow(L"Server Info - 127.0.0.1:27910", program.Id(), WINDOW_TIMEOUT_MS);
    ASSERT_NE(dialog, nullptr);

    HWND pairs = GetDlgItem(dialog, INFO_LIST_ID);
    std::set<std::pair<std::wstring, std::wstring>> shown;
    for (int row = 0; row < RemoteListRowCount(pairs); ++row) {
        shown.emplace(RemoteListItemText(pairs, row, 0), RemoteListItemText(pairs, row, 1));
    }
    EXPECT_EQ(shown,
              (std::set<std::pair<std::wstring, std::wstring>>{
                  {L"fraglimit", L"30"}, {L"hostname", L"Info Host"}, {L"mapname", L"q2dm3"}, {L"maxclients", L"8"}}));
    wchar_t sources[256] = L"";
    SendMessageW(GetDlgItem(dialog, INFO_SOURCES_ID), WM_GETTEXT, 256, reinterpret_cast<LPARAM>(sources));
    EXPECT_STREQ(sources, L"Master: 127.0.0.1:27901\r\nMaster: 127.0.0.1:27902");

    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    for (int wait = 0; wait < 100 && IsWindow(dialog); ++wait) {
        Sleep(50);
    }
    EXPECT_FALSE(IsWindow(dialog));
    CloseProgram(program, window);
}

// A release (classic masters only) on a machine that reaches none of them: no filter list is downloaded, so the box
// holds the built-in mods; each failed master is named on the closing line; the favourites are still queried; and
// the window answers while names fail to resolve and masters stay silent.
TEST(Program, WithNoMasterReachableTheFavouritesAreQueriedAndEveryFailedMasterIsNamed) {
    MasterSettings settings({L"master.invalid:27900", L"127.0.0.1:27999"}, {L"127.0.0.1:27910"});
    ASSERT_TRUE(settings.Written());
    ASSERT_EQ(SimLoad(ServerSection(27910, "Favourite Only")), "OK");
    RunningProgram program;
    HWND window = program.AwaitWindow();
    ASSERT_NE(window, nullptr);
    DWORD_PTR answer = 0;
    EXPECT_NE(SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 2000, &answer), 0);
    std::wstring closing = AwaitCompletion(window);
    std::string shown(closing.begin(), closing.end());
    EXPECT_EQ(closing.rfind(L"Completed. 1 of 1 servers responded. ", 0), 0u) << shown;
    for (const wchar_t* failed :
         {L"Can't find master master.invalid:27900.", L"No answer from master 127.0.0.1:27999."}) {
        EXPECT_NE(closing.find(failed), std::wstring::npos) << shown;
    }
    EXPECT_EQ(SortedNames(window), std::vector<std::wstring>{L"Favourite Only"});
    EXPECT_TRUE(SimLogOf("http").empty()) << "no web master: no filter list asked for";
    EXPECT_EQ(SendDlgItemMessageW(window, MOD_FILTER_ID, CB_GETCOUNT, 0, 0), 13) << "(No Filter) and 12 built-in mods";
    CloseProgram(program, window);
}

// A release's source, a list URL: asked exactly as written at start-up and for every mod filter, never for the
// filter list, so the box holds the built-in mods and a filter picks the servers by the game their replies name.
TEST(Program, AListUrlIsAskedAsWrittenAndTheModFilterPicksItsServersByTheirGame) {
    MasterSettings settings({L"http://127.0.0.1/?raw=2"});
    ASSERT_TRUE(settings.Written());
    ASSERT_EQ(SimLoad("[server]\naddress = 127.0.0.1:27910\nhostname = Flags\ngamename = ctf\n"
                      "[server]\naddress = 127.0.0.1:27911\nhostname = Actions\ngamename = action\nmod = action\n"
                      "[server]\naddress = 127.0.0.1:27912\nhostname = More Flags\ngamename = CTF\n"),
              "OK");
    RunningProgram program;
    HWND window = program.AwaitWindow();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(AwaitCompletion(window), L"Completed. 3 of 3 servers responded.");
    EXPECT_EQ(SendDlgItemMessageW(window, MOD_FILTER_ID, CB_GETCOUNT, 0, 0), 13) << "(No Filter) and 12 built-in mods";

    HWND box = GetDlgItem(window, MOD_FILTER_ID);
    ASSERT_NE(SendMessageW(box, CB_SELECTSTRING, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(L"CTF")), CB_ERR);
    SendMessageW(window, WM_COMMAND, MAKEWPARAM(MOD_FILTER_ID, CBN_SELCHANGE), reinterpret_cast<LPARAM>(box));
    // The first run's closing line still shows until the new run's first text: its end is seen by its rows.
    const std::vector<std::wstring> flags = {L"Flags", L"More Flags"};
    for (DWORD start = GetTickCount(); SortedNames(window) != flags && GetTickCount() - start < 10000; Sleep(20)) {
    }
    EXPECT_EQ(SortedNames(window), flags);
    EXPECT_EQ(AwaitCompletion(window), L"Completed. 3 of 3 servers responded.");
    std::vector<std::string> targets;
    for (const std::string& line : SimLogOf("http")) {
        targets.push_back(SimLogField(line, "target"));
    }
    EXPECT_EQ(targets, (std::vector<std::string>{"/?raw=2", "/?raw=2"})) << "no /filters, no mod";
    CloseProgram(program, window);
}

// Games on a real LAN: scripts/lib/lan-check runs this inside a network namespace of its own, with a veth pair and
// 10.77.0.1/24 on one end, where a simulator server listens on every address as game servers do. The program's
// broadcast reaches it there; the web master lists a server on loopback and (as 0.0.0.0, which is never queried) the
// LAN's.
TEST(Program, FindsAGameOnTheLanMarksItAndShowsItUnderLan) {
    char network[32] = "";
    if (GetEnvironmentVariableA("SKERROW_LAN_NETWORK", network, sizeof network) == 0) {
        GTEST_SKIP() << "needs a network that can broadcast and nothing else on its ports: run scripts/lib/lan-check";
    }
    ASSERT_EQ(
        SimLoad(ServerSection(27920, "Listed") +
                "[server]\naddress = 0.0.0.0:27911\nhostname = LAN Party\nmaxclients = 8\nplayer = 3 9 \"Ann\"\n"),
        "OK");
    RunningProgram program;
    HWND window = program.AwaitWindow();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(AwaitCompletion(window), L"Completed. 2 of 2 servers responded.");
    EXPECT_EQ(SortedNames(window), (std::vector<std::wstring>{L"LAN Party", L"Listed"}));
    HWND list = GetDlgItem(window, SERVER_LIST_ID);
    int row = RowOf(window, L"LAN Party");
    ASSERT_GE(row, 0);
    std::wstring address = std::wstring(network, network + strlen(network)) + L":27911";
    bool addressShown = false;
    for (int column = 1; column < 10; ++column) {
        addressShown = addressShown || RemoteListItemText(list, row, column) == address;
    }
    EXPECT_TRUE(addressShown) << "it answered from its address on the LAN";
    auto overlay = [list](int at) {
        return static_cast<UINT>(SendMessageW(list, LVM_GETITEMSTATE, at, LVIS_OVERLAYMASK)) >> 8;
    };
    EXPECT_EQ(overlay(row), 4u) << "the LAN's mark";
    EXPECT_EQ(overlay(RowOf(window, L"Listed")), 0u);
    SelectRemoteListRow(list, row);

    RECT area{};
    GetWindowRect(list, &area);
    ScreenPicture picture;
    for (DWORD start = GetTickCount(); GetTickCount() - start < 3000; Sleep(50)) {
        picture = CaptureWindow(window);
        if (picture.Count(area, RGB(0x5C, 0xE0, 0x5C)) > 0) { // the mark's screens
            break;
        }
    }
    EXPECT_GT(picture.Count(area, RGB(0x5C, 0xE0, 0x5C)), 0) << "the mark is drawn";
    CreateDirectoryW(L"screenshots", nullptr);
    EXPECT_TRUE(WriteBitmap(picture, L"screenshots\\lan-mark.bmp"));

    HWND show = GetDlgItem(window, SHOW_ID);
    SendMessageW(show, CB_SETCURSEL, 3, 0);
    SendMessageW(window, WM_COMMAND, MAKEWPARAM(SHOW_ID, CBN_SELCHANGE), reinterpret_cast<LPARAM>(show));
    EXPECT_EQ(ListedNames(list), std::vector<std::wstring>{L"LAN Party"});
    EXPECT_EQ(RemoteStatusText(GetDlgItem(window, STATUS_BAR_ID), 2), L"1 of 2 Servers");
    CloseProgram(program, window);
}

} // namespace
