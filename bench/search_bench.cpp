// Times the search box on the real main window, in-process: a table of 10,922 servers with 16 players each (the
// most a master list holds, every slot filled) is listed, then texts are typed into the box one keystroke at a time
// and taken back. Prints one machine-readable line per keystroke for scripts/bench:
//   search key=N text="TEXT" rows=R filter_ms=F paint_ms=P
// filter_ms: the box's change handled (the list refiltered, counts shown); paint_ms: that and the list painted.
//
// skerrow_bench_search [--servers N] [--players P]
#include <winsock2.h>
#include <windows.h>
#include <commctrl.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "resource.h"
#include "windows/app/main_window.h"
#include "windows/app/main_window_views.h"
#include "windows/app/main_window_state.h"

namespace {

constexpr DWORD STARTUP_TIMEOUT_MS = 20000;

double NowMs() {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

template <typename Condition> bool PumpUntil(Condition condition, DWORD timeoutMs) {
    DWORD start = GetTickCount();
    while (!condition()) {
        if (GetTickCount() - start > timeoutMs) {
            return false;
        }
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
    return true;
}

// Names made of syllables, so that texts of one to four letters match many servers and longer ones few, as real
// host and player names do; one in eight names carries letters beyond ASCII.
std::u16string MadeName(uint32_t seed, int syllables) {
    static const char16_t* const PARTS[] = {u"ka",      u"zor", u"mi", u"tel", u"ro",           u"vex", u"an",  u"gul",
                                            u"\u00E9l", u"dra", u"po", u"sin", u"\u0434\u0430", u"qu",  u"ith", u"bar"};
    std::u16string name;
    for (int i = 0; i < syllables; ++i) {
        seed = seed * 1103515245u + 12345u;
        uint32_t part = (seed >> 16) % 16;
        name += (i == 0 || part >= 12) ? PARTS[part] : PARTS[part % 12];
    }
    name[0] = static_cast<char16_t>(name[0] >= u'a' && name[0] <= u'z' ? name[0] - 32 : name[0]);
    return name;
}

void Fill(char16_t* field, size_t size, const std::u16string& text) {
    size_t length = text.size() < size - 1 ? text.size() : size - 1;
    text.copy(field, length);
    field[length] = 0;
}

void FillTable(MainWindowState& app, int servers, int players) {
    static const char16_t* const MAPS[] = {u"q2dm1", u"q2dm2", u"q2dm3", u"q2dm8", u"base1", u"city3", u"ztn2dm1"};
    static const char16_t* const MODS[] = {u"baseq2", u"ctf", u"action", u"rocketarena", u"lithium"};
    auto table = std::make_shared<ServerTable>();
    for (int i = 0; i < servers; ++i) {
        table->Append(htonl(0x0A000000u + static_cast<uint32_t>(i) + 1), static_cast<uint16_t>(27910 + i % 5), 1);
    }
    ShowServerTable(app, table);
    std::vector<int32_t> delivered;
    for (int i = 0; i < servers; ++i) {
        ServerRecord& record = (*table)[static_cast<size_t>(i)];
        Fill(record.hostname, LONG_INFO_SIZE,
             MadeName(static_cast<uint32_t>(i), 3) + u" Server #" +
                 std::u16string(1, static_cast<char16_t>(u'0' + i % 10)));
        Fill(record.mapname, LONG_INFO_SIZE, MAPS[i % 7]);
        Fill(record.gamename, SHORT_INFO_SIZE, MODS[i % 5]);
        Fill(record.version, LONG_INFO_SIZE, u"8.70 x86_64 Mar  1 2025 Linux");
        record.maxClients = players;
        record.playerCount = players;
        for (int p = 0; p < players; ++p) {
            Fill(record.players[p].name, PLAYER_NAME_SIZE,
                 MadeName(static_cast<uint32_t>(i * 131 + p * 7919), 2 + p % 3));
            record.players[p].ping = 40 + p;
            record.players[p].score = p;
        }
        record.ping = static_cast<uint32_t>(20 + i % 180);
        record.answered = 1;
        delivered.push_back(i);
    }
    ListDeliveredReplies(app.servers, ListInputs(app), delivered);
    RepaintServerList(app.servers);
}

// Types `text` one keystroke at a time (each keystroke is the box's text so far), then takes it back the same way.
void TypeAndTakeBack(MainWindowState& app, const std::u16string& text, int& key) {
    HWND box = GetDlgItem(app.hMainDlg, IDC_SEARCH);
    std::vector<std::u16string> steps;
    for (size_t length = 1; length <= text.size(); ++length) {
        steps.push_back(text.substr(0, length));
    }
    for (size_t length = text.size(); length-- > 0;) {
        steps.push_back(text.substr(0, length));
    }
    for (const std::u16string& step : steps) {
        double start = NowMs();
        SetWindowTextW(box, reinterpret_cast<const wchar_t*>(step.c_str())); // its EN_CHANGE refilters
        double filtered = NowMs();
        // What the keystroke left to paint (the rows, the status bar's counts, the box), as the message loop would
        // paint it next.
        RedrawWindow(app.hMainDlg, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
        double painted = NowMs();
        std::string shown(step.begin(), step.end()); // the texts typed here are ASCII
        std::printf("search key=%d text=\"%s\" rows=%d filter_ms=%.2f paint_ms=%.2f\n", key++, shown.c_str(),
                    app.servers.shownServers, filtered - start, painted - start);
    }
}

} // namespace

int main(int argc, char** argv) {
    int servers = 10922, players = 16;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--servers") == 0) {
            servers = std::atoi(argv[i + 1]);
        } else if (std::strcmp(argv[i], "--players") == 0) {
            players = std::atoi(argv[i + 1]);
        }
    }
    if (servers < 1 || servers > 65536 || players < 0 || players > MAX_PLAYERS) {
        std::fprintf(stderr, "usage: skerrow_bench_search [--servers 1..65536] [--players 0..64]\n");
        return 64;
    }
    InitApplication();
    HWND window = CreateMainWindow(GetModuleHandleW(nullptr));
    if (!window) {
        std::fprintf(stderr, "skerrow_bench_search: the main window could not be created\n");
        return 1;
    }
    MainWindowState& app = *MainWindowStateOf(window);
    // The start-up run asks a master that nobody serves here; the table is the bench's own once it has ended.
    if (!PumpUntil([&] { return !app.session.run.running; }, STARTUP_TIMEOUT_MS)) {
        std::fprintf(stderr, "skerrow_bench_search: the start-up run did not end\n");
        return 1;
    }
    double start = NowMs();
    FillTable(app, servers, players);
    std::printf("search what=listed servers=%d players=%d ms=%.1f\n", app.servers.shownServers, players,
                NowMs() - start);
    // The user comes to the box first (Ctrl+F or a click), which readies the search.
    start = NowMs();
    SendMessageW(window, WM_COMMAND, MAKEWPARAM(IDC_FIND, 0), 0);
    std::printf("search what=focus ms=%.1f\n", NowMs() - start);
    int key = 0;
    TypeAndTakeBack(app, u"zor", key);     // host names and players alike, many then fewer
    TypeAndTakeBack(app, u"kadra", key);   // a player's name
    TypeAndTakeBack(app, u"10.0.3.", key); // addresses
    TypeAndTakeBack(app, u"xyzzy", key);   // nothing at all
    DestroyWindow(window);
    RegDeleteTreeW(HKEY_CURRENT_USER, L"SOFTWARE\\Corvell\\Skerrow");
    return 0;
}
