// The settings in the registry, as the next start of the program finds them.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "harness.h"
#include "platform/win32/settings_key.h"
#include "platform/win32/wide.h"
#include "resource.h"
#include "simulator_masters.h"

namespace {

// Keeps the stored filter list in the box: a download that fails changes nothing.
const char* FILTERS_DOWN = "[master]\n[filters]\nstatus = 500\n";

struct StoredValue {
    bool present = false;
    DWORD type = 0;
    std::vector<BYTE> data;

    std::wstring Text() const { return std::wstring(reinterpret_cast<const wchar_t*>(data.data()), data.size() / 2); }
    int32_t Number() const { return data.size() == 4 ? *reinterpret_cast<const int32_t*>(data.data()) : -12345; }
};

StoredValue ReadStored(const wchar_t* name) {
    StoredValue value;
    HKEY key;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, SETTINGS_KEY, 0, KEY_READ, &key) != ERROR_SUCCESS) {
        return value;
    }
    DWORD size = 0;
    if (RegQueryValueExW(key, name, nullptr, &value.type, nullptr, &size) == ERROR_SUCCESS) {
        value.data.resize(size);
        value.present = RegQueryValueExW(key, name, nullptr, &value.type, value.data.data(), &size) == ERROR_SUCCESS;
    }
    RegCloseKey(key);
    return value;
}

void Store(const wchar_t* name, DWORD type, const void* data, DWORD size) {
    HKEY key;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, SETTINGS_KEY, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    RegSetValueExW(key, name, 0, type, static_cast<const BYTE*>(data), size);
    RegCloseKey(key);
}

void StoreNumber(const wchar_t* name, int32_t value) {
    Store(name, REG_DWORD, &value, sizeof value);
}

void StoreText(const wchar_t* name, const std::wstring& text) {
    Store(name, REG_SZ, text.c_str(), static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
}

void StoreStrings(const wchar_t* name, const std::vector<std::wstring>& strings) {
    std::wstring text = MultiText(strings);
    Store(name, REG_MULTI_SZ, text.data(), static_cast<DWORD>(text.size() * sizeof(wchar_t)));
}

// The names of every value under the key, sorted.
std::vector<std::wstring> StoredNames() {
    std::vector<std::wstring> names;
    HKEY key;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, SETTINGS_KEY, 0, KEY_READ, &key) != ERROR_SUCCESS) {
        return names;
    }
    wchar_t name[256];
    DWORD length = 256;
    for (DWORD i = 0; RegEnumValueW(key, i, name, &length, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS; ++i) {
        names.emplace_back(name, length);
        length = 256;
    }
    RegCloseKey(key);
    std::sort(names.begin(), names.end());
    return names;
}

std::vector<std::wstring> MasterTexts() {
    std::vector<std::wstring> texts;
    for (const MasterEntry& entry : App().session.config.masters) {
        texts.push_back(AsWide(FormatMasterEntry(entry).c_str()));
    }
    return texts;
}

std::vector<std::wstring> FavouriteTexts() {
    std::vector<std::wstring> texts;
    for (const std::u16string& text : FormatFavourites(App().session.lists.favourites)) {
        texts.push_back(AsWide(text.c_str()));
    }
    return texts;
}

bool Checked(int id) {
    return SendDlgItemMessageW(App().hMainDlg, id, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

std::wstring SelectedFilter() {
    HWND box = GetDlgItem(App().hMainDlg, IDC_MOD_FILTER);
    LRESULT selection = SendMessageW(box, CB_GETCURSEL, 0, 0);
    wchar_t text[64] = L"<none>";
    if (selection != CB_ERR) {
        SendMessageW(box, CB_GETLBTEXT, selection, reinterpret_cast<LPARAM>(text));
    }
    return text;
}

void SelectFilter(const wchar_t* entry) {
    HWND box = GetDlgItem(App().hMainDlg, IDC_MOD_FILTER);
    SendMessageW(box, CB_SELECTSTRING, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(entry));
    SendMessageW(App().hMainDlg, WM_COMMAND, MAKEWPARAM(IDC_MOD_FILTER, CBN_SELCHANGE), reinterpret_cast<LPARAM>(box));
    WaitForIdle();
}

RECT WindowRectOf(HWND window) {
    RECT rect;
    GetWindowRect(window, &rect);
    return rect;
}

bool SameRect(const RECT& a, const RECT& b) {
    return EqualRect(&a, &b) != FALSE;
}

class SettingsStoreTest : public testing::Test {
protected:
    void TearDown() override {
        CloseMainWindow();
        DeleteSettings();
    }
};

TEST_F(SettingsStoreTest, AFirstStartUsesTheDefaultsAndWritesEveryValueWithItsTypeAndSizeOnlyAtExit) {
    if (!BuildAsksTheSimulator()) {
        GTEST_SKIP() << NEEDS_A_FIRST_START;
    }
    ASSERT_NE(OpenMainWindow(), nullptr);
    EXPECT_FALSE(ReadStored(L"Version").present) << "loading never creates the key";
    EXPECT_TRUE(Checked(IDC_SHOW_EMPTY));
    EXPECT_TRUE(Checked(IDC_SHOW_FULL));
    EXPECT_EQ(App().servers.showEmpty, 1);
    EXPECT_EQ(App().servers.showFull, 1);
    EXPECT_STREQ(AsWide(App().session.config.gameExe), L"quake2.exe");
    EXPECT_EQ(App().session.config.packetsPerSecond, DEFAULT_PACKETS_PER_SECOND);
    EXPECT_EQ(App().session.config.goodPing, 100);
    EXPECT_EQ(App().session.config.mediumPing, 200);
    EXPECT_EQ(App().servers.sortColumn, 6);
    EXPECT_EQ(App().session.config.buddyText, u"");
    RECT created = WindowRectOf(App().hMainDlg);
    ASSERT_EQ(CloseMainWindow(), 0);

    struct Expected {
        const wchar_t* name;
        DWORD type;
        size_t size;
    };
    const Expected values[] = {
        {L"Quake II Directory", REG_SZ, 2},
        {L"Quake II Executable", REG_SZ, 22},
        {L"Last Used Mod Filter", REG_SZ, 2},
        {L"Buddy List", REG_SZ, 2},
        {L"Mod Filters", REG_SZ, 2},
        {L"Packets Per Second", REG_DWORD, 4},
        {L"Player View Style", REG_DWORD, 4},
        {L"Good Ping Threshold", REG_DWORD, 4},
        {L"Medium Ping Threshold", REG_DWORD, 4},
        {L"Version", REG_DWORD, 4},
        {L"Sort Order", REG_DWORD, 4},
        {L"Show Empty Servers", REG_DWORD, 4},
        {L"Show Full Servers", REG_DWORD, 4},
        {L"Window Position", REG_BINARY, 44},
    };
    std::vector<std::wstring> names;
    for (const Expected& expected : values) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(expected.name)));
        StoredValue value = ReadStored(expected.name);
        ASSERT_TRUE(value.present);
        EXPECT_EQ(value.type, expected.type);
        EXPECT_EQ(value.data.size(), expected.size);
        names.push_back(expected.name);
    }
    // The masters (the build's default) and the favourites (none) are not stored: the key holds what it always did.
    std::sort(names.begin(), names.end());
    EXPECT_EQ(StoredNames(), names);
    EXPECT_EQ(ReadStored(L"Quake II Executable").Text(), std::wstring(L"quake2.exe", 11));
    EXPECT_EQ(ReadStored(L"Version").Number(), 2);
    EXPECT_EQ(ReadStored(L"Sort Order").Number(), 6);
    EXPECT_EQ(ReadStored(L"Show Empty Servers").Number(), 1);
    StoredValue position = ReadStored(L"Window Position");
    auto* placement = reinterpret_cast<const WINDOWPLACEMENT*>(position.data.data());
    EXPECT_EQ(placement->length, 44u);
    EXPECT_TRUE(SameRect(placement->rcNormalPosition, created));
}

TEST_F(SettingsStoreTest, EverySettingComesBackAtTheNextStart) {
    ASSERT_NE(OpenMainWindow("[master]\n[filters]\ntext = \"CTF\\nctf\\nJump\\njump\\n\"\n"), nullptr);
    SelectFilter(L"Jump");
    wcscpy(AsWide(App().session.config.gameDir), L"C:\\Games\\Quake2\\");
    wcscpy(AsWide(App().session.config.gameExe), L"q2.exe");
    App().session.config.packetsPerSecond = 25;
    App().session.config.goodPing = 55;
    App().session.config.mediumPing = 155;
    App().players.details = 1;
    App().servers.sortColumn = 0x4002;
    App().session.config.buddyText = u"bob\r\nK\u00f6ln";
    // Masters the start-up run can reach: the simulator's web service by another name, and a port no master
    // answers on.
    App().session.config.masters.resize(2);
    ASSERT_EQ(ParseMasterEntry(u"HTTP://LocalHost:80", &App().session.config.masters[0]), MasterFault::None);
    ASSERT_EQ(ParseMasterEntry(u"127.0.0.1:27950", &App().session.config.masters[1]), MasterFault::None);
    ParseFavourites({u"127.0.2.1:27910", u"127.0.2.20:27911"}, &App().session.lists.favourites);
    App().session.config.searchLan = false;
    SendDlgItemMessageW(App().hMainDlg, IDC_SHOW_EMPTY, BM_CLICK, 0, 0);
    SetWindowPos(App().hMainDlg, nullptr, 40, 30, 900, 600, SWP_NOZORDER);
    RECT placed = WindowRectOf(App().hMainDlg);
    ASSERT_EQ(CloseMainWindow(), 0);

    ASSERT_NE(ReopenMainWindow(FILTERS_DOWN), nullptr);
    EXPECT_STREQ(AsWide(App().session.config.gameDir), L"C:\\Games\\Quake2\\");
    EXPECT_STREQ(AsWide(App().session.config.gameExe), L"q2.exe");
    EXPECT_EQ(App().session.config.packetsPerSecond, 25);
    EXPECT_EQ(App().session.config.goodPing, 55);
    EXPECT_EQ(App().session.config.mediumPing, 155);
    EXPECT_EQ(App().players.details, 1);
    EXPECT_EQ(App().servers.sortColumn, 0x4002);
    EXPECT_EQ(App().session.config.buddyText, u"bob\r\nK\u00f6ln");
    EXPECT_FALSE(Checked(IDC_SHOW_EMPTY));
    EXPECT_TRUE(Checked(IDC_SHOW_FULL));
    EXPECT_EQ(SelectedFilter(), L"Jump");
    EXPECT_EQ(ModFilterText(), L"CTF\nctf\nJump\njump\n");
    EXPECT_TRUE(SameRect(WindowRectOf(App().hMainDlg), placed));
    EXPECT_TRUE(IsWindowVisible(App().hMainDlg));
    EXPECT_EQ(MasterTexts(), (std::vector<std::wstring>{L"http://LocalHost", L"127.0.0.1:27950"}));
    EXPECT_EQ(FavouriteTexts(), (std::vector<std::wstring>{L"127.0.2.1:27910", L"127.0.2.20:27911"}));
    StoredValue masters = ReadStored(L"Master Servers");
    EXPECT_EQ(masters.type, static_cast<DWORD>(REG_MULTI_SZ));
    EXPECT_EQ(masters.Text(), MultiText({L"http://LocalHost", L"127.0.0.1:27950"}));
    StoredValue favourites = ReadStored(L"Favourite Servers");
    EXPECT_EQ(favourites.type, static_cast<DWORD>(REG_MULTI_SZ));
    EXPECT_EQ(favourites.Text(), MultiText({L"127.0.2.1:27910", L"127.0.2.20:27911"}));
    EXPECT_FALSE(App().session.config.searchLan);
    StoredValue searchLan = ReadStored(L"Search LAN");
    EXPECT_EQ(searchLan.type, static_cast<DWORD>(REG_DWORD));
    EXPECT_EQ(searchLan.Number(), 0);

    // "(No Filter)" is remembered as the empty directory; lists emptied are no longer stored.
    SelectFilter(L"(No Filter)");
    App().session.config.masters.clear();
    App().session.lists.favourites.clear();
    App().session.config.searchLan = true;
    ASSERT_EQ(CloseMainWindow(), 0);
    EXPECT_EQ(ReadStored(L"Last Used Mod Filter").Text(), std::wstring(1, L'\0'));
    EXPECT_FALSE(ReadStored(L"Master Servers").present);
    EXPECT_FALSE(ReadStored(L"Favourite Servers").present);
    EXPECT_FALSE(ReadStored(L"Search LAN").present) << "turned on again: no longer stored";
}

TEST_F(SettingsStoreTest, AWindowMaximisedAtExitOpensNormalAtItsSavedPlace) {
    ASSERT_NE(OpenMainWindow(), nullptr);
    SetWindowPos(App().hMainDlg, nullptr, 60, 50, 800, 560, SWP_NOZORDER);
    RECT normal = WindowRectOf(App().hMainDlg);
    ShowWindow(App().hMainDlg, SW_MAXIMIZE);
    ASSERT_TRUE(IsZoomed(App().hMainDlg));
    ASSERT_EQ(CloseMainWindow(), 0);

    ASSERT_NE(ReopenMainWindow(), nullptr);
    EXPECT_FALSE(IsZoomed(App().hMainDlg));
    EXPECT_TRUE(SameRect(WindowRectOf(App().hMainDlg), normal));
}

TEST_F(SettingsStoreTest, AnOlderKeysAnsiBuddyListIsConvertedAndSavedAsUtf16) {
    const char ansi[] = "b\xf6"
                        "b\r\nann";
    Store(L"Buddy List", REG_SZ, ansi, sizeof ansi);
    StoreNumber(L"Packets Per Second", 0);
    StoreNumber(L"Good Ping Threshold", 0);
    StoreNumber(L"Medium Ping Threshold", 0);
    ASSERT_NE(ReopenMainWindow(), nullptr);

    wchar_t expected[16] = {};
    MultiByteToWideChar(CP_ACP, 0, ansi, -1, expected, 16);
    EXPECT_STREQ(AsWide(App().session.config.buddyText.c_str()), expected);
    // Stored zeros are covered by the defaults.
    EXPECT_EQ(App().session.config.packetsPerSecond, DEFAULT_PACKETS_PER_SECOND);
    EXPECT_EQ(App().session.config.goodPing, 100);
    EXPECT_EQ(App().session.config.mediumPing, 200);
    ASSERT_EQ(CloseMainWindow(), 0);

    EXPECT_EQ(ReadStored(L"Version").Number(), 2);
    EXPECT_EQ(ReadStored(L"Buddy List").Text(), std::wstring(expected, wcslen(expected) + 1));
}

TEST_F(SettingsStoreTest, ValuesThatDoNotFitTheirFieldsAreIgnoredAndUnterminatedTextsEndAtTheirData) {
    std::wstring longDir(260, L'd');
    Store(L"Quake II Directory", REG_SZ, longDir.c_str(), 520); // 260 characters, no room for the terminator
    Store(L"Quake II Executable", REG_SZ, L"q2x.exe", 7 * sizeof(wchar_t));
    StoreText(L"Last Used Mod Filter", std::wstring(64, L'm'));
    StoreText(L"Mod Filters", L"CTF\nctf\n");
    StoreText(L"Packets Per Second", L"25");
    const BYTE eight[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    Store(L"Good Ping Threshold", REG_BINARY, eight, sizeof eight);
    Store(L"Window Position", REG_BINARY, eight, sizeof eight);
    StoreNumber(L"Buddy List", 7);
    StoreNumber(L"Version", 2);
    // Whatever is not a master or a favourite, or repeats one, is left out; a text value is no list at all.
    StoreStrings(L"Master Servers", {L"ftp://x", L"http://localhost", L"HTTP://LOCALHOST:80", L"127.0.0.1:0",
                                     L"127.0.0.1:27950", L" 127.0.0.2"});
    StoreStrings(L"Favourite Servers", {L"127.0.2.1", L"127.0.2.2:27910", L"127.0.2.2:27910", L"host:27910"});
    ASSERT_NE(ReopenMainWindow(FILTERS_DOWN), nullptr);

    EXPECT_STREQ(AsWide(App().session.config.gameDir), L"");
    EXPECT_STREQ(AsWide(App().session.config.gameExe), L"q2x.exe");
    EXPECT_EQ(App().modFilters.lastUsed, u"");
    EXPECT_EQ(SelectedFilter(), L"(No Filter)");
    EXPECT_EQ(App().session.config.packetsPerSecond, DEFAULT_PACKETS_PER_SECOND);
    EXPECT_EQ(App().session.config.goodPing, 100);
    EXPECT_EQ(App().session.config.buddyText, u"");
    EXPECT_EQ(MasterTexts(), (std::vector<std::wstring>{L"http://localhost", L"127.0.0.1:27950"}));
    EXPECT_EQ(FavouriteTexts(), std::vector<std::wstring>{L"127.0.2.2:27910"});
    EXPECT_TRUE(IsWindowVisible(App().hMainDlg));

    // An odd byte count: the last byte makes no character.
    CloseMainWindow();
    const BYTE odd[] = {'C', 0, 'T', 0, 'F', 0, '\n', 0, 'c', 0, 't', 0, 'f', 0, '!'};
    Store(L"Mod Filters", REG_SZ, odd, sizeof odd);
    StoreText(L"Master Servers", L"http://a.example");
    ASSERT_NE(ReopenMainWindow(FILTERS_DOWN), nullptr);
    EXPECT_EQ(ModFilterText(), L"CTF\nctf");
    EXPECT_TRUE(App().session.config.masters.empty());
}

TEST_F(SettingsStoreTest, AKeyThatCannotBeWrittenDoesNotKeepTheProgramFromEnding) {
    ASSERT_NE(OpenMainWindow(), nullptr);
    // The current user's hive, seen through a handle that may only read: the key can be neither created nor
    // opened for writing.
    HKEY readOnly;
    ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, L"Software", 0, KEY_READ, &readOnly), ERROR_SUCCESS);
    ASSERT_EQ(RegOverridePredefKey(HKEY_CURRENT_USER, readOnly), ERROR_SUCCESS);
    int code = CloseMainWindow();
    RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
    RegCloseKey(readOnly);
    EXPECT_EQ(code, 0);
    EXPECT_FALSE(ReadStored(L"Version").present);
}

} // namespace
