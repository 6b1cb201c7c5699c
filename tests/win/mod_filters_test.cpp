// The mod filter box as a user sees it: its entries in the box's order, the selected entry, what a selection
// requests, and the filter list downloaded from the master service.
#include <winsock2.h>
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "harness.h"
#include "platform/win32/settings_key.h"
#include "platform/win32/wide.h"
#include "resource.h"
#include "servers.h"
#include "simulator_client.h"
#include "windows/app/mod_filter_download.h"
#include "windows/views/mod_filter_box.h"

namespace {

const std::vector<std::wstring> BUILT_IN_ORDER = {
    L"(No Filter)", L"Action Quake II", L"CTF",        L"D-Day",  L"Deathmatch", L"Gloom", L"Jump", L"KOTS",
    L"LOX",         L"Rocket Arena 2",  L"TDM / Duel", L"Vortex", L"WODX"};

HWND Box() {
    return GetDlgItem(App().hMainDlg, IDC_MOD_FILTER);
}

std::wstring SelectedEntry() {
    LRESULT selection = SendMessageW(Box(), CB_GETCURSEL, 0, 0);
    return selection == CB_ERR ? L"<none>" : BoxEntries()[selection];
}

// The game directory behind the selected entry, as the server list request reads it.
std::wstring SelectedDir() {
    LRESULT index = SendMessageW(Box(), CB_GETITEMDATA, SendMessageW(Box(), CB_GETCURSEL, 0, 0), 0);
    const std::vector<std::u16string>& dirs = App().modFilters.dirs;
    if (index < 0 || static_cast<size_t>(index) >= dirs.size()) {
        return L"<bad item data>";
    }
    return std::wstring(dirs[static_cast<size_t>(index)].begin(), dirs[static_cast<size_t>(index)].end());
}

void SetFilterText(const std::wstring& text) {
    App().modFilters.text = std::u16string(text.begin(), text.end());
}

// Fills an empty box from `text` as at start-up, with `remembered` as the last used filter.
void FillFresh(const std::wstring& text, const wchar_t* remembered) {
    SendMessageW(Box(), CB_RESETCONTENT, 0, 0);
    App().modFilters.lastUsed = AsU16(remembered);
    SetFilterText(text);
    FillModFilters(App().modFilters);
}

// The start-up download of the filter list, as the window starts it with its masters.
void StartFilters() {
    StartFilterDownload(App().hMainDlg, MastersToAsk(App().session.config), App().session.filterDownload,
                        App().modFilters);
}

// A text value of the settings key; empty when it cannot be read.
std::wstring StoredText(const wchar_t* name) {
    wchar_t text[64] = {};
    DWORD size = sizeof text;
    RegGetValueW(HKEY_CURRENT_USER, SETTINGS_KEY, name, RRF_RT_REG_SZ, nullptr, text, &size);
    return text;
}

// The simulator's answers to "/filters" so far.
size_t FilterAnswers() {
    std::vector<std::string> requests = SimLogOf("http");
    return static_cast<size_t>(std::count_if(requests.begin(), requests.end(), [](const std::string& line) {
        return SimLogField(line, "target") == "/filters" && !SimLogField(line, "status").empty();
    }));
}

// Runs the filter download once more on its worker and waits until the simulator has answered it and the window
// has taken the text, or for a failed download a moment more, serving the window's messages meanwhile.
bool DownloadFilters() {
    size_t before = FilterAnswers();
    StartFilters();
    if (!PumpUntil([&] { return FilterAnswers() > before && !App().session.filterDownload; })) {
        // A failed download reports nothing: what it might still change would show within this time.
        return PumpUntil([] { return false; }, 300), FilterAnswers() > before;
    }
    return true;
}

class ModFiltersTest : public testing::Test {
protected:
    void TearDown() override { CloseMainWindow(); }
};

TEST_F(ModFiltersTest, AnEmptyFilterListGivesTheBuiltInListAndDeathmatchRequestsFfa) {
    ASSERT_NE(OpenMainWindow(), nullptr);
    ASSERT_TRUE(App().modFilters.text.has_value());
    EXPECT_EQ(ModFilterText(), L"");
    EXPECT_EQ(BoxEntries(), BUILT_IN_ORDER);
    EXPECT_EQ(SelectedEntry(), L"(No Filter)");
    EXPECT_EQ(static_cast<int>(App().modFilters.dirs.size()), 13);
    EXPECT_FALSE(App().session.run.running) << "a refill never starts a run";

    SimLoad("[master]\n");
    UserSelects(L"Deathmatch");
    EXPECT_TRUE(App().session.run.running);
    ASSERT_TRUE(WaitForIdle());
    std::vector<std::string> requests = SimLogOf("http");
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(SimLogField(requests[0], "target"), "/?mod=ffa&raw=2");

    // A first start with list URLs and classic masters only (a release) downloads no list: its empty box gets the
    // built-in mods.
    SendDlgItemMessageW(App().hMainDlg, IDC_MOD_FILTER, CB_RESETCONTENT, 0, 0);
    App().session.config.masters.resize(2);
    ASSERT_EQ(ParseMasterEntry(u"127.0.0.1:27901", &App().session.config.masters[0]), MasterFault::None);
    ASSERT_EQ(ParseMasterEntry(u"http://127.0.0.1/?raw=2", &App().session.config.masters[1]), MasterFault::None);
    StartFilters();
    EXPECT_EQ(App().session.filterDownload, nullptr);
    EXPECT_EQ(BoxEntries(), BUILT_IN_ORDER);
    EXPECT_EQ(SelectedEntry(), L"(No Filter)");
    EXPECT_EQ(SimLogOf("http").size(), 1u) << "nothing asked for";
}

TEST_F(ModFiltersTest, TheRememberedDirectoryIsSelectedByItsEntryWhereverTheBoxSortsIt) {
    ASSERT_NE(OpenMainWindow(), nullptr);
    // "Action Quake II" is added after "CTF" but sorts in front of it.
    FillFresh(L"CTF\nctf\nAction Quake II\naction\n", L"ctf");
    EXPECT_EQ(BoxEntries(), (std::vector<std::wstring>{L"(No Filter)", L"Action Quake II", L"CTF"}));
    EXPECT_EQ(SelectedEntry(), L"CTF");
    EXPECT_EQ(SelectedDir(), L"ctf");

    FillFresh(L"First\nctf\nSecond\nctf\n", L"ctf");
    EXPECT_EQ(SelectedEntry(), L"Second") << "the later pair wins";

    FillFresh(L"CTF\nctf\n", L"");
    EXPECT_EQ(SelectedEntry(), L"(No Filter)") << "no entry has an empty directory";

    // With entries in the box, the current selection is what a refill keeps.
    FillFresh(L"CTF\nctf\nJump\njump\n", L"jump");
    UserSelects(L"CTF");
    ASSERT_TRUE(WaitForIdle());
    SetFilterText(L"Capture\nctf\n");
    FillModFilters(App().modFilters);
    EXPECT_EQ(SelectedEntry(), L"Capture");
    SetFilterText(L"Jump\njump\n");
    FillModFilters(App().modFilters);
    EXPECT_EQ(SelectedEntry(), L"(No Filter)");
    EXPECT_FALSE(App().session.run.running) << "a refill never starts a run";
}

TEST_F(ModFiltersTest, OddTextsFallBackToTheBuiltInListAndLineFeedsAloneGiveNoFilterOnly) {
    ASSERT_NE(OpenMainWindow(), nullptr);
    FillFresh(L"CTF\nctf\nJump", L"ctf");
    EXPECT_EQ(BoxEntries(), BUILT_IN_ORDER);
    EXPECT_EQ(SelectedEntry(), L"(No Filter)") << "the built-in list never reselects";
    EXPECT_EQ(ModFilterText(), L"CTF\nctf\nJump") << "the rejected text is kept";

    FillFresh(L"\n\n", L"");
    EXPECT_EQ(BoxEntries(), std::vector<std::wstring>{L"(No Filter)"});
    EXPECT_EQ(SelectedEntry(), L"(No Filter)");

    FillFresh(L"CTF\r\nctf\r\n", L"ctf\r");
    EXPECT_EQ(SelectedEntry(), L"CTF\r");
    EXPECT_EQ(SelectedDir(), L"ctf\r");
}

TEST_F(ModFiltersTest, PairsPastTheSixtyThirdAreLeftOut) {
    ASSERT_NE(OpenMainWindow(), nullptr);
    std::wstring text;
    for (int i = 0; i < 70; ++i) {
        text += L"Mod " + std::to_wstring(100 + i) + L"\nmod" + std::to_wstring(i) + L"\n";
    }
    FillFresh(text, L"mod62");
    EXPECT_EQ(static_cast<int>(App().modFilters.dirs.size()), MOD_FILTER_CAPACITY);
    EXPECT_EQ(BoxEntries().size(), 64u);
    EXPECT_EQ(BoxEntries().back(), L"Mod 162");
    EXPECT_EQ(SelectedDir(), L"mod62");
    FillFresh(text, L"mod63");
    EXPECT_EQ(SelectedEntry(), L"(No Filter)");
}

TEST_F(ModFiltersTest, TheDownloadedListIsDecodedFromUtf8AndKeepsTheSelection) {
    ASSERT_NE(OpenMainWindow(
                  "[master]\n[filters]\ntext = \"TDM / Duel \\xe2\\x80\\x93 K\\xc3\\xb6ln\\ntdm\\nCTF\\nctf\\n\"\n"),
              nullptr);
    EXPECT_EQ(ModFilterText(), L"TDM / Duel \u2013 K\u00f6ln\ntdm\nCTF\nctf\n");
    EXPECT_EQ(BoxEntries(), (std::vector<std::wstring>{L"(No Filter)", L"CTF", L"TDM / Duel \u2013 K\u00f6ln"}));
    EXPECT_EQ(SelectedEntry(), L"(No Filter)");
    std::vector<std::string> requests = SimLogOf("http");
    ASSERT_FALSE(requests.empty());
    EXPECT_EQ(SimLogField(requests.back(), "ua"), "Skerrow/1.0");

    UserSelects(L"TDM / Duel \u2013 K\u00f6ln");
    ASSERT_TRUE(WaitForIdle());
    SimLoad("[master]\n[filters]\ntext = \"Duel\\ntdm\\nFlags\\nctf\\n\"\n");
    ASSERT_TRUE(DownloadFilters());
    EXPECT_EQ(BoxEntries(), (std::vector<std::wstring>{L"(No Filter)", L"Duel", L"Flags"}));
    EXPECT_EQ(SelectedEntry(), L"Duel");
    EXPECT_FALSE(App().session.run.running);

    // A failed download, one cut off before its announced length, or a web site's page (told by its type, or by
    // how it begins), changes nothing.
    for (const char* failure :
         {"text = \"Other\\nother\\nMore\\nmore\\n\"\nstatus = 404\n",
          "text = \"Other\\nother\\nMore\\nmore\\n\"\nclose_after = 12\n",
          "text = \"Other\\nother\\nMore\\nmore\\n\"\ncontent_type = text/html\n",
          "text = \"\\n <!doctype html>\\n<title>Q2</title>\\n\"\n", "text = \"<html>\\n<body>\\n\"\n"}) {
        SimLoad(std::string("[master]\n[filters]\n") + failure);
        ASSERT_TRUE(DownloadFilters());
        EXPECT_EQ(BoxEntries(), (std::vector<std::wstring>{L"(No Filter)", L"Duel", L"Flags"})) << failure;
        EXPECT_EQ(ModFilterText(), L"Duel\ntdm\nFlags\nctf\n");
    }
}

TEST_F(ModFiltersTest, ABodyPastEightKilobytesIsCutAndAnOddCutFallsBack) {
    ASSERT_NE(OpenMainWindow(), nullptr);
    std::string longDir(9000, 'd');
    SimLoad("[master]\n[filters]\ntext = \"Long\\n" + longDir + "\\nShort\\nshort\\n\"\n");
    ASSERT_TRUE(DownloadFilters());
    ASSERT_EQ(ModFilterText().size(), 8191u);
    EXPECT_EQ(ModFilterText(), L"Long\n" + std::wstring(8186, L'd'));
    EXPECT_EQ(BoxEntries(), (std::vector<std::wstring>{L"(No Filter)", L"Long"}));

    // Cut inside a display name: its directory is lost, so the count of lines turns odd.
    SimLoad("[master]\n[filters]\ntext = \"A\\na\\n" + longDir + "\\nb\\n\"\n");
    ASSERT_TRUE(DownloadFilters());
    EXPECT_EQ(BoxEntries(), BUILT_IN_ORDER);

    // A master whose list never ends: the download stops reading once the text it keeps is full, and its end closes
    // the connection, which the master then sees long before it could send its 64 MiB.
    constexpr size_t ENDLESS_CAP = 64 << 20;
    uint16_t port = 0;
    SOCKET listener = ListenOnLoopback(&port);
    ASSERT_NE(listener, INVALID_SOCKET);
    std::atomic<size_t> sent{0};
    std::thread endless([&] {
        SOCKET client = accept(listener, nullptr, nullptr);
        DWORD patience = 10000; // a reader that stopped but never closes still lets this thread end
        setsockopt(client, SOL_SOCKET, SO_SNDTIMEO, reinterpret_cast<const char*>(&patience), sizeof patience);
        char request[1024];
        recv(client, request, sizeof request, 0);
        std::string head = "HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nConnection: close\r\n\r\nEndless\nendless\n";
        send(client, head.data(), static_cast<int>(head.size()), 0);
        std::string chunk(65536, 'x');
        while (sent < ENDLESS_CAP) {
            int got = send(client, chunk.data(), static_cast<int>(chunk.size()), 0);
            if (got <= 0) {
                break;
            }
            sent += static_cast<size_t>(got);
        }
        closesocket(client);
    });
    App().session.config.masters = {MasterEntry{MasterKind::Web, u"127.0.0.1", port}};
    StartFilters();
    EXPECT_TRUE(PumpUntil([] { return !App().session.filterDownload; }, 20000));
    endless.join();
    closesocket(listener);
    ASSERT_EQ(ModFilterText().size(), 8191u);
    EXPECT_EQ(ModFilterText(), L"Endless\nendless\n" + std::wstring(8191 - 16, L'x'));
    EXPECT_LT(sent, ENDLESS_CAP / 4) << "read no further than it keeps";
}

TEST_F(ModFiltersTest, SavingStoresTheSelectedGameDirectory) {
    ASSERT_NE(OpenMainWindow("[master]\n[filters]\ntext = \"CTF\\nctf\\nJump\\njump\\n\"\n"), nullptr);
    UserSelects(L"Jump");
    ASSERT_TRUE(WaitForIdle());
    DestroyWindow(App().hMainDlg); // saves the settings

    EXPECT_EQ(StoredText(L"Last Used Mod Filter"), L"jump");
}

TEST_F(ModFiltersTest, ADownloadEndingAfterTheWindowIsGoneLeavesTheSavedTextAlone) {
    ASSERT_NE(OpenMainWindow("[master]\n[filters]\ntext = \"CTF\\nctf\\n\"\n"), nullptr);
    SimLoad("[master]\n[filters]\ndelay_ms = 300\ntext = \"Later\\nlater\\n\"\n");
    StartFilters();
    DestroyWindow(App().hMainDlg); // saves the settings, and cancels the download
    // Past the answer's delay: a download that was not cancelled in time has ended by now, its text gone nowhere.
    PumpUntil([] { return false; }, 600);
    EXPECT_EQ(StoredText(L"Mod Filters"), L"CTF\nctf\n") << "the late text went nowhere";
}

} // namespace
