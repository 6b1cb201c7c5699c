// The player's installer under Wine, in a prefix nobody has used (tests/installer/run-installer-tests): an older
// version installed silently, the program started from its Start menu shortcut, the version under test installed
// over it, and then uninstalled with the command Apps & features gives. The tests run in this order, each from where
// the one before left the user's system. SKERROW_MSI and SKERROW_OLDER_MSI name the two MSIs.
//
// Wine has no UAC and runs msiexec as an administrator would be: that the installer needs none is checked in its
// tables (tests/installer/check_msi.py), not here.
#include <windows.h>
#include <shlobj.h>
#include <shellapi.h>

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "find_window.h"
#include "installed_product.h"
#include "picture.h"
#include "remote_controls.h"
#include "resource.h"
#include "simulator_client.h"

namespace {

constexpr DWORD INSTALL_TIMEOUT_MS = 120000;
constexpr DWORD WINDOW_TIMEOUT_MS = 30000;
constexpr const wchar_t* SETTINGS_KEY = L"SOFTWARE\\Corvell\\Skerrow";
constexpr const wchar_t* INSTALLER_KEY = L"Software\\Corvell\\Skerrow Installation";

std::wstring Environment(const wchar_t* name) {
    wchar_t value[MAX_PATH] = L"";
    GetEnvironmentVariableW(name, value, MAX_PATH);
    return value;
}

std::wstring InstallFolder() {
    return KnownFolder(FOLDERID_LocalAppData) + L"\\Programs\\Skerrow";
}

std::wstring StartMenuShortcut() {
    return KnownFolder(FOLDERID_Programs) + L"\\Skerrow.lnk";
}

// Where the program keeps its remembered lists: the installer never touches it.
std::wstring ProgramDataFolder() {
    return KnownFolder(FOLDERID_LocalAppData) + L"\\Skerrow";
}

bool RememberedListExists() {
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((ProgramDataFolder() + L"\\remembered-*.list").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) {
        return false;
    }
    FindClose(search);
    return true;
}

bool KeyExists(const wchar_t* path) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, path, 0, KEY_READ, &key) != ERROR_SUCCESS) {
        return false;
    }
    RegCloseKey(key);
    return true;
}

DWORD Install(const std::wstring& msi) {
    return RunToEnd(L"msiexec.exe /i \"" + msi + L"\" /qn", INSTALL_TIMEOUT_MS);
}

// The masters are the simulator's, whatever the build asks, and the LAN search is off (it would broadcast on the
// machine's networks); a key that holds values is no first start, so both Full and Empty boxes are checked as a
// first start shows them.
void PointTheProgramAtTheSimulator() {
    RegDeleteTreeW(HKEY_CURRENT_USER, SETTINGS_KEY);
    static const wchar_t simulator[] = L"http://127.0.0.1\0";
    RegSetKeyValueW(HKEY_CURRENT_USER, SETTINGS_KEY, L"Master Servers", REG_MULTI_SZ, simulator, sizeof simulator);
    const DWORD off = 0;
    const DWORD checked = 1;
    RegSetKeyValueW(HKEY_CURRENT_USER, SETTINGS_KEY, L"Search LAN", REG_DWORD, &off, sizeof off);
    RegSetKeyValueW(HKEY_CURRENT_USER, SETTINGS_KEY, L"Show Empty Servers", REG_DWORD, &checked, sizeof checked);
    RegSetKeyValueW(HKEY_CURRENT_USER, SETTINGS_KEY, L"Show Full Servers", REG_DWORD, &checked, sizeof checked);
}

// Opens the Start menu's shortcut as a click on it does, and checks that what starts is the installed program and
// that it lists the simulator's servers; then closes it as a user does. With a path, a picture of its window is
// saved.
void StartFromTheShortcutAndBrowse(const std::wstring& version, const wchar_t* screenshot) {
    std::set<std::wstring> names;
    std::string scenario;
    for (int i = 0; i < 3; ++i) {
        std::string name = "Installed Server " + std::to_string(i);
        scenario += "[server]\naddress = 127.0.0.1:" + std::to_string(27910 + i) + "\nhostname = " + name +
                    "\nmapname = q2dm" + std::to_string(i + 1) +
                    "\nmaxclients = 8\nplayer = 3 40 \"p" + std::to_string(i) + "\"\n";
        names.insert(std::wstring(name.begin(), name.end()));
    }
    ASSERT_EQ(SimLoad(scenario), "OK");
    PointTheProgramAtTheSimulator();

    // A known Wine difference: for a shortcut opened this way Wine hands back no process, even when asked to, so
    // the program is found by its window; this prefix has no other.
    SHELLEXECUTEINFOW open{};
    open.cbSize = sizeof open;
    open.fMask = SEE_MASK_FLAG_NO_UI;
    std::wstring shortcut = StartMenuShortcut();
    open.lpFile = shortcut.c_str();
    open.nShow = SW_SHOWNORMAL;
    ASSERT_TRUE(ShellExecuteExW(&open)) << "cannot open the shortcut, error " << GetLastError();
    HWND window = WaitForTopLevelWindow(L"Skerrow", 0, WINDOW_TIMEOUT_MS);
    ASSERT_NE(window, nullptr) << "no window of the program started from the shortcut";
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    HANDLE program = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION | PROCESS_TERMINATE | SYNCHRONIZE, FALSE, processId);
    ASSERT_NE(program, nullptr);
    wchar_t started[MAX_PATH] = L"";
    DWORD length = MAX_PATH;
    QueryFullProcessImageNameW(program, 0, started, &length);
    EXPECT_TRUE(SamePath(started, InstallFolder() + L"\\skerrow.exe")) << "started: " << started;

    EXPECT_EQ(AwaitRemoteStatus(GetDlgItem(window, IDC_STATUS_BAR), L"Completed.", 30000),
              L"Completed. 3 of 3 servers responded.")
        << "version " << version;
    HWND list = GetDlgItem(window, IDC_SERVER_LIST);
    std::set<std::wstring> shown;
    for (int row = 0; row < RemoteListRowCount(list); ++row) {
        shown.insert(RemoteListItemText(list, row, 0));
    }
    EXPECT_EQ(shown, names);
    if (screenshot) {
        SelectRemoteListRow(list, 0);
        CreateDirectoryW(L"screenshots", nullptr);
        EXPECT_TRUE(WriteBitmap(SettledCapture(window), screenshot));
    }
    PostMessageW(window, WM_CLOSE, 0, 0);
    DWORD code = STILL_ACTIVE;
    if (WaitForSingleObject(program, WINDOW_TIMEOUT_MS) == WAIT_OBJECT_0) {
        GetExitCodeProcess(program, &code);
    } else {
        // Left running, it would hold its files through the upgrade and the uninstall.
        TerminateProcess(program, 99);
        WaitForSingleObject(program, WINDOW_TIMEOUT_MS);
    }
    CloseHandle(program);
    EXPECT_EQ(code, 0u);
    EXPECT_TRUE(RememberedListExists()) << "a run in which a master answered remembers its servers";
}

// The one entry each installed version must leave, with what Apps & features shows of it.
void ExpectOneEntryFor(const MsiPackage& package) {
    EXPECT_EQ(InstalledProducts(package.upgradeCode), std::vector<std::wstring>{package.productCode});
    std::vector<AppsEntry> entries = AppsEntriesNamed(L"Skerrow");
    ASSERT_EQ(entries.size(), 1u) << "one entry in Apps & features";
    EXPECT_EQ(entries[0].displayVersion, package.version);
    EXPECT_EQ(entries[0].publisher, L"Corvell");
    EXPECT_NE(entries[0].uninstallString.find(package.productCode), std::wstring::npos) << "its uninstall command";
}

class Installer : public testing::Test {
protected:
    static void SetUpTestSuite() {
        CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        current = ReadMsiPackage(Environment(L"SKERROW_MSI"));
        older = ReadMsiPackage(Environment(L"SKERROW_OLDER_MSI"));
    }
    static MsiPackage current;
    static MsiPackage older;
};
MsiPackage Installer::current;
MsiPackage Installer::older;

TEST_F(Installer, PutsTheProgramUnderTheUsersProgramsWithAShortcutThatStartsIt) {
    ASSERT_FALSE(older.productCode.empty()) << "SKERROW_OLDER_MSI names no MSI";
    ASSERT_TRUE(InstalledProducts(older.upgradeCode).empty()) << "a prefix nobody has installed into";
    ASSERT_EQ(Install(Environment(L"SKERROW_OLDER_MSI")), 0u);

    ExpectOneEntryFor(older);
    for (const wchar_t* file : {L"skerrow.exe", L"README.txt", L"LICENSE.txt"}) {
        EXPECT_TRUE(FileExists(InstallFolder() + L"\\" + file)) << file;
    }
    EXPECT_FALSE(FolderExists(ProgramDataFolder())) << "the remembered lists' folder is the program's, not ours";
    ShortcutInfo shortcut = ReadShortcut(StartMenuShortcut());
    EXPECT_TRUE(SamePath(shortcut.target, InstallFolder() + L"\\skerrow.exe"));
    EXPECT_TRUE(SamePath(shortcut.workingFolder, InstallFolder()) ||
                SamePath(shortcut.workingFolder, InstallFolder() + L"\\"));

    StartFromTheShortcutAndBrowse(older.version, nullptr);
}

TEST_F(Installer, ReplacesAnOlderVersionInPlaceLeavingOneEntry) {
    ASSERT_FALSE(current.productCode.empty()) << "SKERROW_MSI names no MSI";
    ASSERT_NE(current.productCode, older.productCode) << "each version is a product of its own";
    ASSERT_EQ(current.upgradeCode, older.upgradeCode);
    ASSERT_EQ(InstalledProducts(older.upgradeCode).size(), 1u) << "the older version, installed by the test before";
    ASSERT_EQ(Install(Environment(L"SKERROW_MSI")), 0u);

    ExpectOneEntryFor(current);
    std::string readme = ReadWholeFile(InstallFolder() + L"\\README.txt");
    std::string heading = "Skerrow " + std::string(current.version.begin(), current.version.end()) + ",";
    EXPECT_EQ(readme.rfind(heading, 0), 0u) << "the newer README replaced the older: " << readme.substr(0, 40);
    EXPECT_TRUE(FileExists(InstallFolder() + L"\\skerrow.exe"));
    EXPECT_TRUE(SamePath(ReadShortcut(StartMenuShortcut()).target, InstallFolder() + L"\\skerrow.exe"));

    StartFromTheShortcutAndBrowse(current.version, L"screenshots\\installed-from-shortcut.bmp");
}

TEST_F(Installer, UninstallsWhatItInstalledAndLeavesThePlayersSettings) {
    std::vector<AppsEntry> entries = AppsEntriesNamed(L"Skerrow");
    ASSERT_EQ(entries.size(), 1u) << "the version installed by the test before";
    ASSERT_TRUE(KeyExists(INSTALLER_KEY));
    // As Apps & features runs it, without its questions.
    ASSERT_EQ(RunToEnd(entries[0].uninstallString + L" /qn", INSTALL_TIMEOUT_MS), 0u)
        << "ran: " << entries[0].uninstallString;

    EXPECT_TRUE(InstalledProducts(current.upgradeCode).empty());
    EXPECT_TRUE(AppsEntriesNamed(L"Skerrow").empty());
    EXPECT_FALSE(FolderExists(InstallFolder())) << "the install folder and its files are gone";
    EXPECT_FALSE(FileExists(StartMenuShortcut()));
    EXPECT_FALSE(KeyExists(INSTALLER_KEY)) << "the installer's own values are gone";
    EXPECT_TRUE(KeyExists(SETTINGS_KEY)) << "the player's settings stay";
    EXPECT_TRUE(RememberedListExists()) << "the remembered list stays";
}

} // namespace
