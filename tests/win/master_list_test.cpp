// The master list download against the simulator: the request it sends, the status and length rules, failures.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "core/protocol/master_entry.h"
#include "core/run/server_list_download.h"
#include "core/run/source_report.h"
#include "core/run/web_download.h"
#include "harness.h"
#include "picture.h"
#include "resource.h"
#include "servers.h"
#include "simulator_client.h"
#include "windows/dialogs/sources_dialog.h"
#include "windows/views/mod_filter_box.h"

namespace {

const wchar_t FAILURE_TEXT[] = L"Failed to download server list from 127.0.0.1.";

class MasterListTest : public OpenWindowTest {
protected:
    // Loads the scenario and downloads once for the selected mod filter from the master (the simulator's web
    // service, by default), as a run does; the body's bytes stay in body_.
    ListDownload Fetch(const std::string& scenario, const char16_t* master = u"http://127.0.0.1") {
        EXPECT_EQ(SimLoad(scenario), "OK");
        std::u16string dir = RequestedModFilterDir(App().modFilters);
        body_.assign(3, 0xEE);
        DownloadCancel cancel;
        MasterEntry entry;
        EXPECT_EQ(ParseMasterEntry(master, &entry), MasterFault::None);
        ListDownload end = FetchServerList(dir, entry, body_, cancel);
        length_ = static_cast<uint32_t>(body_.size());
        return end;
    }

    std::string RequestTarget() {
        std::vector<std::string> requests = SimLogOf("http");
        EXPECT_EQ(requests.size(), 1u);
        return requests.empty() ? "" : SimLogField(requests[0], "target");
    }

    std::vector<unsigned char> body_ = std::vector<unsigned char>(65536);
    uint32_t length_ = 0;
};

const char* TWO_MODS = "[server]\naddress = 127.0.0.1:27910\nmod = ctf\n"
                       "[server]\naddress = 127.0.0.1:27911\nmod = action\n"
                       "[server]\naddress = 127.0.0.1:27912\nmod = ctf\n";

TEST_F(MasterListTest, AsksForTheSelectedModWithItsUserAgentAndNoCache) {
    SetModFilters({{L"(No Filter)", L""}, {L"Capture The Flag", L"ctf"}, {L"Action Quake II", L"action"}}, 1);
    ASSERT_EQ(Fetch(TWO_MODS), ListDownload::Listed);

    std::vector<std::string> requests = SimLogOf("http");
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(SimLogField(requests[0], "target"), "/?mod=ctf&raw=2");
    EXPECT_EQ(SimLogField(requests[0], "ua"), "Skerrow/1.0");
    EXPECT_EQ(SimLogField(requests[0], "cache-control"), "no-cache");
    EXPECT_EQ(SimLogField(requests[0], "pragma"), "no-cache");

    const std::vector<unsigned char> ctfServers = {127, 0, 0, 1, 0x6D, 0x06, 127, 0, 0, 1, 0x6D, 0x08};
    ASSERT_EQ(length_, ctfServers.size());
    EXPECT_EQ(std::vector<unsigned char>(body_.begin(), body_.begin() + length_), ctfServers);

    // A run asks the same, and says so first.
    RecordStatusLine();
    ASSERT_TRUE(RunUpdateToEnd());
    EXPECT_EQ(SimLogField(SimLogOf("http").back(), "target"), "/?mod=ctf&raw=2");
    ASSERT_FALSE(RecordedStatusLines().empty());
    EXPECT_EQ(RecordedStatusLines()[0], L"Fetching 127.0.0.1 server list...");
}

TEST_F(MasterListTest, NoFilterAnEmptyBoxOrNoSelectionAskForTheirMod) {
    struct Case {
        std::vector<std::pair<std::wstring, std::wstring>> filters;
        int selected;
        const char* target;
        uint32_t length;
    };
    const Case cases[] = {
        // An empty mod lists every server.
        {{{L"(No Filter)", L""}, {L"Capture The Flag", L"ctf"}}, 0, "/?mod=&raw=2", 18},
        {{}, -1, "/?mod=&raw=2", 18},
        // Without a selection the first directory of the list is asked for.
        {{{L"Capture The Flag", L"ctf"}, {L"Action Quake II", L"action"}}, -1, "/?mod=ctf&raw=2", 12},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.target);
        SetModFilters(c.filters, c.selected);
        ASSERT_EQ(Fetch(TWO_MODS), ListDownload::Listed);
        EXPECT_EQ(RequestTarget(), c.target);
        EXPECT_EQ(length_, c.length);
    }
}

TEST_F(MasterListTest, GameDirectoriesAreInsertedWithoutEncoding) {
    SetModFilters({{L"Ampersand", L"a&b"}, {L"Spaced", L"my mod"}}, 0);
    ASSERT_EQ(Fetch(TWO_MODS), ListDownload::Listed);
    EXPECT_EQ(RequestTarget(), "/?mod=a&b&raw=2");

    // WinHTTP itself escapes a space, which would otherwise end the request line early.
    SetModFilters({{L"Ampersand", L"a&b"}, {L"Spaced", L"my mod"}}, 1);
    ASSERT_EQ(Fetch(TWO_MODS), ListDownload::Listed);
    EXPECT_EQ(RequestTarget(), "/?mod=my%20mod&raw=2");
}

// The simulator's made-up bodies: entries 10.0.0.1:27910, 10.0.0.2:27910, ...
const std::vector<unsigned char> FIRST_TWO_ENTRIES = {10, 0, 0, 1, 0x6D, 0x06, 10, 0, 0, 2, 0x6D, 0x06};

TEST_F(MasterListTest, StoresBodiesUpToTheCapChunkByChunk) {
    struct Case {
        const char* scenario;
        uint32_t stored;
    };
    const Case cases[] = {
        {"[master]\nbody_size = 0\n", 0},
        {"[master]\nbody_size = 7\n", 7},
        {"[master]\nbody_size = 65534\n", 65534},
        // The chunk that would bring the total to 65,535 or more is dropped with everything after it.
        {"[master]\nbody_size = 66000\nchunks = 60000,6000\nchunk_delay_ms = 400\n", 60000},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.scenario);
        ASSERT_EQ(Fetch(c.scenario), ListDownload::Listed);
        EXPECT_EQ(length_, c.stored);
        if (c.stored >= 12) {
            EXPECT_EQ(std::vector<unsigned char>(body_.begin(), body_.begin() + 12), FIRST_TWO_ENTRIES);
        }
    }

    // Sent at once, a longer body still comes in pieces of which WinHTTP announces at most what has arrived (on
    // loopback under Wine, less than 64 KiB), so how much is kept depends on the transport; it is always a
    // prefix of whole pieces, below the cap.
    ASSERT_EQ(Fetch("[master]\nbody_size = 70000\n"), ListDownload::Listed);
    EXPECT_LT(length_, 65535u);
    for (uint32_t i = 0; i + 6 <= length_; i += 6 * 997) {
        uint32_t entry = i / 6 + 1;
        const unsigned char expected[6] = {10,
                                           static_cast<unsigned char>(entry >> 16),
                                           static_cast<unsigned char>(entry >> 8),
                                           static_cast<unsigned char>(entry),
                                           0x6D,
                                           0x06};
        EXPECT_TRUE(std::equal(expected, expected + 6, body_.begin() + i)) << "entry " << entry;
    }
}

TEST_F(MasterListTest, AnythingButStatus200OrARefusedConnectionFails) {
    const struct {
        const char* scenario;
        ListDownload end;
    } cases[] = {
        {"[master]\nstatus = 204\n", ListDownload::Failed},
        {"[master]\nstatus = 404\nbody_size = 12\n", ListDownload::Failed},
        {"[master]\nstatus = 500\nbody_size = 12\n", ListDownload::Failed},
        {"[master]\nrefuse = 1\n", ListDownload::Refused},
    };
    for (const auto& [scenario, end] : cases) {
        SCOPED_TRACE(scenario);
        ForgetRememberedLists();
        EXPECT_EQ(Fetch(scenario), end);
        ASSERT_TRUE(RunUpdateToEnd());
        EXPECT_EQ(StatusPartText(0), FAILURE_TEXT);
    }
}

// A list URL is fetched exactly as written, whatever the mod filter, and follows at most three redirects, each to
// an http:// URL (or a path of the same host); a redirect to anything else is a failure of its own.
TEST_F(MasterListTest, AListUrlIsFetchedAsWrittenAndFollowsThreeRedirectsToHttpOnly) {
    SetModFilters({{L"(No Filter)", L""}, {L"Capture The Flag", L"ctf"}}, 1);
    ASSERT_EQ(Fetch(TWO_MODS, u"http://127.0.0.1/?raw=2"), ListDownload::Listed);
    EXPECT_EQ(RequestTarget(), "/?raw=2") << "no mod, whatever the filter";
    EXPECT_EQ(length_, 18u) << "every listed server";

    const std::string hops = std::string(TWO_MODS) + "[redirect]\nfrom = /a\nto = /b?x=1\nstatus = 301\n"
                                                     "[redirect]\nfrom = /b?x=1\nto = http://localhost/c\n"
                                                     "[redirect]\nfrom = /c\nto = /?raw=2\nstatus = 307\n";
    ASSERT_EQ(Fetch(hops, u"http://127.0.0.1/a"), ListDownload::Listed);
    std::vector<std::string> targets;
    for (const std::string& line : SimLogOf("http")) {
        targets.push_back(SimLogField(line, "target"));
    }
    EXPECT_EQ(targets, (std::vector<std::string>{"/a", "/b?x=1", "/c", "/?raw=2"}));
    EXPECT_EQ(length_, 18u);

    const struct {
        const char16_t* url;
        std::string redirects;
        ListDownload end;
    } cases[] = {
        {u"http://127.0.0.1/z", hops + "[redirect]\nfrom = /z\nto = /a\n", ListDownload::TooManyRedirects},
        {u"http://127.0.0.1/s", "[redirect]\nfrom = /s\nto = https://127.0.0.1/?raw=2\n", ListDownload::BadRedirect},
        {u"http://127.0.0.1/f", "[redirect]\nfrom = /f\nto = ftp://127.0.0.1/list\n", ListDownload::BadRedirect},
        {u"http://127.0.0.1/r", "[redirect]\nfrom = /r\nto = list?raw=2\n", ListDownload::BadRedirect},
        {u"http://127.0.0.1/q", "[redirect]\nfrom = /q\nto = \"/a b\"\n", ListDownload::BadRedirect},
        {u"http://127.0.0.1/nowhere", "", ListDownload::Failed},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.redirects);
        EXPECT_EQ(Fetch(c.redirects, c.url), c.end);
        EXPECT_EQ(length_, 0u);
    }
    EXPECT_EQ(Fetch("", u"http://no-such-host.invalid/?raw=2"), ListDownload::Unresolved);
}

// A web site's page is no list, from a list URL or a master web service: told by its type, or by how it begins
// after white space. A first "<" alone is an address byte.
TEST_F(MasterListTest, AWebPageIsNoList) {
    const struct {
        const char* scenario;
        ListDownload end;
    } cases[] = {
        {"[master]\nbody = \"\\x01\\x02\\x03\\x04\\x6d\\x06\"\ncontent_type = text/HTML; charset=utf-8\n",
         ListDownload::WebPage},
        {"[master]\nbody = \" \\r\\n\\t<!DOCTYPE html><title>Servers</title>\"\n", ListDownload::WebPage},
        {"[master]\nbody = \"<HTML>\\n<body></body>\"\n", ListDownload::WebPage},
        {"[master]\nbody = \"<\\x01\\x02\\x03\\x6d\\x06\"\n", ListDownload::Listed}, // 60.1.2.3:27910
        {"[master]\nbody = \"<!doc\"\n", ListDownload::Listed}, // not a doctype, and cut to no entry
    };
    for (const char16_t* master : {u"http://127.0.0.1", u"http://127.0.0.1/?raw=2"}) {
        for (const auto& c : cases) {
            SCOPED_TRACE(c.scenario);
            EXPECT_EQ(Fetch(c.scenario, master), c.end);
        }
    }
    // A run says which source failed and keeps the table it shows.
    ASSERT_EQ(SimLoad(TWO_MODS), "OK");
    ASSERT_TRUE(RunUpdateToEnd());
    ASSERT_EQ(App().session.shown.count, 3);
    App().session.config.masters.resize(1);
    ASSERT_EQ(ParseMasterEntry(u"http://127.0.0.1/?raw=2", &App().session.config.masters[0]), MasterFault::None);
    ASSERT_EQ(SimLoad(cases[1].scenario), "OK");
    ForgetRememberedLists(); // else the servers the first run remembered are queried instead
    ASSERT_TRUE(RunUpdateToEnd());
    EXPECT_EQ(StatusPartText(0), L"Failed to download server list from 127.0.0.1/?raw=2: it answered with a web page.");
    EXPECT_EQ(App().session.shown.count, 3) << "the table shown stays";
}

// A list that trickles in is given up once its time is up, as a failure of its own; the run's cancel stays unset.
TEST_F(MasterListTest, AListThatTricklesPastItsTimeEndsThere) {
    std::string chunks = "6";
    for (int i = 1; i < 100; ++i) {
        chunks += ",6";
    }
    ASSERT_EQ(SimLoad("[master]\nbody_size = 600\nchunks = " + chunks + "\nchunk_delay_ms = 200\n"), "OK");
    MasterEntry list;
    ASSERT_EQ(ParseMasterEntry(u"http://127.0.0.1/?raw=2", &list), MasterFault::None);
    std::vector<unsigned char> body(MASTER_BODY_CAP);
    MasterBody download{body.data(), MASTER_BODY_CAP, false, false, 0};
    DownloadCancel cancel;
    DWORD start = GetTickCount();
    EXPECT_EQ(DownloadFromMaster(list, u"/?raw=2", download, DownloadRules{LIST_URL_MAX_REDIRECTS, 1000}, &cancel),
              ListDownload::TooSlow);
    EXPECT_LT(GetTickCount() - start, 10000u) << "the trickle would have taken 20 s";
    EXPECT_FALSE(cancel.Cancelled());
}

// After a run, the Sources window lists each source of it: what it is, what it gave or why not, and when. The
// window's LAN search went over no network here.
TEST_F(MasterListTest, TheSourcesWindowSaysWhatEachSourceOfTheLastRunGave) {
    const char16_t* masters[] = {u"http://127.0.0.1", u"127.0.0.1:27999", u"http://127.0.0.1/?raw=2",
                                 u"http://127.0.0.1:9/?raw=2"};
    App().session.config.masters.clear();
    for (const char16_t* text : masters) {
        MasterEntry entry;
        ASSERT_EQ(ParseMasterEntry(text, &entry), MasterFault::None);
        App().session.config.masters.push_back(entry);
    }
    ParseFavourites({u"127.0.0.1:27912"}, &App().session.lists.favourites);
    ASSERT_EQ(SimLoad(TWO_MODS), "OK");
    ASSERT_TRUE(RunUpdateToEnd());
    const RunState& run = App().session.run;
    std::vector<SourceRow> rows = SourceRows(run.masters, run.sources, run.running);
    HWND dialog = CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_SOURCES), App().hMainDlg,
                                     SourcesDlgProc, reinterpret_cast<LPARAM>(&rows));
    ASSERT_NE(dialog, nullptr);
    HWND list = GetDlgItem(dialog, IDC_SOURCES_LIST);
    using Texts = std::vector<std::wstring>;
    EXPECT_EQ(ListColumn(list, 0), (Texts{L"http://127.0.0.1", L"127.0.0.1:27999", L"http://127.0.0.1/?raw=2",
                                          L"http://127.0.0.1:9/?raw=2", L"Local networks", L"Favourites"}));
    EXPECT_EQ(ListColumn(list, 1),
              (Texts{L"Master web service", L"Classic master", L"List URL", L"List URL", L"LAN search", L"Your list"}));
    EXPECT_EQ(ListColumn(list, 3), (Texts{L"Listed 3 servers", L"No answer", L"Listed 3 servers",
                                          L"Refused the connection", L"Found none", L"Queried 1 server"}));
    for (const std::wstring& when : ListColumn(list, 2)) {
        int hours = -1, minutes = -1, seconds = -1;
        EXPECT_EQ(swscanf(when.c_str(), L"%2d:%2d:%2d", &hours, &minutes, &seconds), 3)
            << std::string(when.begin(), when.end());
    }
    // Close stands below the list, inside the dialog.
    auto rectIn = [dialog](int id) {
        RECT rect{};
        GetWindowRect(GetDlgItem(dialog, id), &rect);
        MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&rect), 2);
        return rect;
    };
    RECT client{};
    GetClientRect(dialog, &client);
    EXPECT_LE(rectIn(IDC_SOURCES_LIST).bottom, rectIn(IDCANCEL).top);
    EXPECT_LE(rectIn(IDCANCEL).bottom, client.bottom);
    ShowWindow(dialog, SW_SHOW);
    RedrawWindow(dialog, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    CreateDirectoryW(L"screenshots", nullptr);
    EXPECT_TRUE(WriteBitmap(SettledCapture(dialog), L"screenshots\\sources.bmp"));
    DestroyWindow(dialog);

    // The window opens it from its system menu, before "About Skerrow".
    HMENU menu = GetSystemMenu(App().hMainDlg, FALSE);
    int about = GetMenuItemCount(menu) - 1;
    ASSERT_GT(about, 0);
    EXPECT_EQ(GetMenuItemID(menu, about - 1), SYSTEM_MENU_SOURCES);
}

} // namespace
