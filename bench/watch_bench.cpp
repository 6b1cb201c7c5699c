// Times what the window does on its own, in-process under Wine against the simulator, and prints one line per fact
// for scripts/bench:
//
// skerrow_bench_watch --label NAME --join
//   A join waits for a slot on a full server (as "Join When a Slot Frees" starts it). Each time the simulator has just
//   answered a watched query, which is the worst moment for the slot to free, a player leaves: the time from then
//   until the game is started (the window goes, as a join ends the program) is the join's. On the program's own clock.
// skerrow_bench_watch --label NAME --alert [--clock-speed K]
//   A first start with "Refresh every 5 minutes" and buddy alerts on. After the start-up run a buddy comes to a
//   server; the time until the alert is shown, on the program's clock, which may run K times as fast as the real one
//   so that the wait for the next refresh takes seconds (the runs themselves take their real time).
//
// The game is a stand-in that ends at once (a copy of Wine's hostname.exe as quake2.exe). Nothing hooks or subclasses
// the program's windows; a probe thread reads the status bar every 2 ms throughout (bench/ui_probe.h), and its
// longest wait is printed beside each time.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "core/text/address.h"
#include "core/worker/program_clock.h"
#include "platform/win32/settings_key.h"
#include "simulator_client.h"
#include "ui_probe.h"
#include "windows/app/main_window.h"
#include "windows/app/main_window_state.h"
#include "windows/app/watching.h"

namespace {

constexpr DWORD RUN_TIMEOUT_MS = 60000;
constexpr int FILLER_SERVERS = 300;

// The program's clock running `speed` times as fast as the system's monotonic one, from the moment it was made.
class FastClock final : public ProgramClock {
public:
    explicit FastClock(double speed) : speed_(speed), start_(NowMs()) {}
    uint64_t MonotonicMs() override { return static_cast<uint64_t>((NowMs() - start_) * speed_) + 1000000; }
    int64_t UnixSeconds() override { return SystemClock().UnixSeconds(); }

private:
    const double speed_;
    const double start_;
};

HWND mainWindow = nullptr;
MainWindowState& State() {
    return *MainWindowStateOf(mainWindow);
}

bool Pump(const std::function<bool()>& condition, DWORD timeoutMs) {
    return PumpWindowUntil(mainWindow, condition, timeoutMs);
}

// The watched server on 127.0.0.1:27990 with `players` of 8, a buddy's server on 27991 with Bob or not, and filler
// servers from 27910 on, so that the runs are of a size a list has.
std::string Scenario(int players, bool bob) {
    std::string scenario = "[server]\naddress = 127.0.0.1:27990\nhostname = Watched\nmapname = q2dm1\nmaxclients = 8\n";
    for (int i = 0; i < players; ++i) {
        scenario += "player = " + std::to_string(i) + " 40 \"p" + std::to_string(i) + "\"\n";
    }
    scenario += "[server]\naddress = 127.0.0.1:27991\nhostname = Friday\nmapname = q2dm2\nmaxclients = 16\n"
                "player = 3 50 \"ann\"\n";
    if (bob) {
        scenario += "player = 5 60 \"Bob\"\n";
    }
    for (int i = 0; i < FILLER_SERVERS; ++i) {
        scenario += "[server]\naddress = 127.0.0.1:" + std::to_string(27000 + i) + "\nhostname = Filler " +
                    std::to_string(i) + "\nmaxclients = 8\nplayer = 1 30 \"f\"\n";
    }
    return scenario;
}

size_t QueriesTo(int port) {
    size_t count = 0;
    for (const std::string& line : SimLogOf("query")) {
        count += SimLogField(line, "server") == "127.0.0.1:" + std::to_string(port);
    }
    return count;
}

void SetNumber(const wchar_t* name, DWORD value) {
    RegSetKeyValueW(HKEY_CURRENT_USER, SETTINGS_KEY, name, REG_DWORD, &value, sizeof value);
}

// A game folder whose quake2.exe ends at once.
std::wstring StandInGame() {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    std::wstring folder = std::wstring(temp) + L"skerrow-bench-game\\";
    CreateDirectoryW(folder.c_str(), nullptr);
    wchar_t system[MAX_PATH];
    GetSystemDirectoryW(system, MAX_PATH);
    CopyFileW((std::wstring(system) + L"\\hostname.exe").c_str(), (folder + L"quake2.exe").c_str(), FALSE);
    return folder;
}

bool OpenWindow() {
    mainWindow = CreateMainWindow(GetModuleHandleW(nullptr));
    if (!mainWindow) {
        fprintf(stderr, "skerrow_bench_watch: the main window could not be created\n");
        return false;
    }
    ProbeStatusBar(State().status.bar);
    if (!Pump([] { return !State().session.run.running; }, RUN_TIMEOUT_MS)) {
        fprintf(stderr, "skerrow_bench_watch: the start-up run did not end\n");
        return false;
    }
    return true;
}

int TimeJoin(const std::string& label) {
    SimLoad(Scenario(8, false));
    std::wstring game = StandInGame();
    RegSetKeyValueW(HKEY_CURRENT_USER, SETTINGS_KEY, L"Quake II Directory", REG_SZ, game.c_str(),
                    static_cast<DWORD>((game.size() + 1) * sizeof(wchar_t)));
    if (!OpenWindow()) {
        return 1;
    }
    StartProbe();
    ProgramClock& clock = *State().clock;
    WaitForSlot(State(), 0x0100007F, 27990, u"Watched");
    // The first watched query comes a run's query interval after the start-up run's; once the simulator has
    // answered one more, the slot frees.
    size_t before = QueriesTo(27990);
    if (!Pump([&] { return QueriesTo(27990) > before; }, 30000)) {
        fprintf(stderr, "skerrow_bench_watch: no watched query came\n");
        return 1;
    }
    Pump([] { return false; }, 50); // its reply is in: still full
    double queriedAt = static_cast<double>(clock.MonotonicMs());
    SimLoad(Scenario(7, false));
    double freedAt = static_cast<double>(clock.MonotonicMs());
    if (!Pump([] { return !IsWindow(mainWindow); }, 30000)) {
        fprintf(stderr, "skerrow_bench_watch: the join did not come\n");
        return 1;
    }
    double joinedAt = static_cast<double>(clock.MonotonicMs());
    std::vector<double> stalls = StopProbe();
    printf("join label=%s freed_after_query_ms=%.0f join_ms=%.0f interval_ms=%llu stall_max_ms=%.3f "
           "stall_p99_ms=%.3f probes=%zu\n",
           label.c_str(), freedAt - queriedAt, joinedAt - freedAt,
           static_cast<unsigned long long>(WATCH_QUERY_INTERVAL_MS), Percentile(stalls, 1.0), Percentile(stalls, 0.99),
           stalls.size());
    return 0;
}

int TimeAlert(const std::string& label, double speed) {
    SimLoad(Scenario(3, false));
    SetNumber(L"Refresh Every", 5);
    SetNumber(L"Tell Me When Buddies Play", 1);
    const wchar_t buddies[] = L"Bob";
    RegSetKeyValueW(HKEY_CURRENT_USER, SETTINGS_KEY, L"Buddy List", REG_SZ, buddies, sizeof buddies);
    FastClock fast(speed);
    if (!OpenWindow()) {
        return 1;
    }
    State().clock = &fast;
    NoteRunStarted(State()); // the start-up run began on the other clock
    StartProbe();
    double appearedAt = static_cast<double>(fast.MonotonicMs());
    double appearedReal = NowMs();
    SimLoad(Scenario(3, true));
    double runStartedAt = 0, runStartedReal = 0;
    bool alerted = Pump(
        [&] {
            if (runStartedAt == 0 && State().session.run.running) {
                runStartedAt = static_cast<double>(fast.MonotonicMs());
                runStartedReal = NowMs();
            }
            return State().tray.alertsShown > 0;
        },
        static_cast<DWORD>(5 * 60000 / speed) + RUN_TIMEOUT_MS);
    double alertedReal = NowMs();
    std::vector<double> stalls = StopProbe();
    if (!alerted) {
        fprintf(stderr, "skerrow_bench_watch: no alert came\n");
        return 1;
    }
    std::u16string& text = State().tray.alertText;
    // The wait for the refresh on the program's clock, then the run's own time until the alert on the real one.
    double waited = runStartedAt - appearedAt, ranMs = alertedReal - runStartedReal;
    printf("alert label=%s clock_speed=%.0f refresh_ms=%d alert_ms=%.0f own_run_after_ms=%.0f run_to_alert_ms=%.0f "
           "real_ms=%.0f stall_max_ms=%.3f stall_p99_ms=%.3f probes=%zu text=\"%s\"\n",
           label.c_str(), speed, 5 * 60000, waited + ranMs, waited, ranMs, alertedReal - appearedReal,
           Percentile(stalls, 1.0), Percentile(stalls, 0.99), stalls.size(),
           std::string(text.begin(), text.end()).c_str());
    DestroyWindow(mainWindow);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    std::string label = "watch", mode;
    double speed = 1;
    for (int i = 1; i < argc; ++i) {
        std::string flag = argv[i];
        if (flag == "--join" || flag == "--alert") {
            mode = flag;
        } else if (i + 1 < argc && flag == "--label") {
            label = argv[++i];
        } else if (i + 1 < argc && flag == "--clock-speed") {
            speed = atof(argv[++i]);
        } else {
            mode.clear();
            break;
        }
    }
    if (mode.empty() || speed < 1) {
        fprintf(stderr, "usage: skerrow_bench_watch --label NAME (--join | --alert [--clock-speed K])\n");
        return 64;
    }
    InitApplication();
    RegDeleteTreeW(HKEY_CURRENT_USER, SETTINGS_KEY);
    // The bench's namespace has a LAN of its own with nothing on it: asked as a first start asks it.
    CreateProbe();
    int rc = mode == "--join" ? TimeJoin(label) : TimeAlert(label, speed);
    EndProbe();
    RegDeleteTreeW(HKEY_CURRENT_USER, SETTINGS_KEY);
    return rc;
}
