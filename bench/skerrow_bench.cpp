// Times update runs of the real main window, in-process, against whatever the simulator serves, and prints one
// machine-readable line per fact for scripts/bench: how long each run takes, how long the user interface thread goes
// without answering (bench/ui_probe.h), the pings the records keep, and the process's peak memory.
//
// skerrow_bench --label NAME --pps N [--runs K] [--pings] [--plain] [--masters ENTRY]
//   Opens the window on a first start with "Packets Per Second" = N (0: none stored, the build's own first-start
//   rate) and "Master Servers" = ENTRY when given (the start-up run is run 0, cold, timed from the window's
//   creation), then clicks Update K more times (default 1). --pings prints every record's ping after the last run.
//   --plain times the runs with nothing else running: the baseline that shows what the probe costs.
//
// Nothing hooks or subclasses the program's windows while a run is timed. The main thread is the program's user
// interface thread, as in the real program: it clicks Update and runs the message loop until the run has ended. A
// probe thread asks the status bar for its text every PROBE_GAP_MS, as another program reading the window would;
// how long each answer takes is how long the user interface thread was busy, and the texts it reads mark the run.
#include <windows.h>
#include <commctrl.h>
#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <string>
#include <vector>

#include "core/text/address.h"
#include "ui_probe.h"
#include "platform/win32/settings_key.h"
#include "resource.h"
#include "windows/app/main_window.h"
#include "windows/app/main_window_state.h"
#include "windows/state/app_messages.h"

namespace {

constexpr DWORD RUN_TIMEOUT_MS = 15 * 60 * 1000;
constexpr DWORD FILTERS_TIMEOUT_MS = 10000;
// Between runs, as a user looks at the list before clicking again: the last run's paint and timers are done.
constexpr DWORD SETTLE_MS = 500;

bool IsClosingLine(const wchar_t* text) {
    return wcsncmp(text, L"Completed.", 10) == 0 || wcsncmp(text, L"Aborted.", 8) == 0;
}

// What the probe's texts say of the run. Written on the probe's thread while it probes; read by the main thread once
// it has stopped it.
struct RunTexts {
    bool sawRunText; // a text other than a closing line was read, so the next closing line is this run's
    double closing;  // when this run's "Completed. ..." or "Aborted. ..." was first read
    wchar_t closingText[256];
};
RunTexts runTexts;

void NoteStatusLine(const wchar_t* text) {
    if (!IsClosingLine(text)) {
        runTexts.sawRunText = true;
    } else if (runTexts.sawRunText && runTexts.closing == 0) {
        runTexts.closing = NowMs();
        wcsncpy(runTexts.closingText, text, 255);
        runTexts.closingText[255] = 0;
    }
}

// The main window under test, and its state.
HWND mainWindow = nullptr;
MainWindowState& State() {
    return *MainWindowStateOf(mainWindow);
}

template <typename Condition> bool PumpUntil(Condition condition, DWORD timeoutMs) {
    return PumpWindowUntil(mainWindow, condition, timeoutMs);
}

void StartRunProbe() {
    runTexts = RunTexts{};
    StartProbe();
}

struct Options {
    std::string label = "run";
    int packetsPerSecond = 10;
    int runs = 1;
    bool pings = false;
    bool plain = false;
    std::wstring masters; // stored as "Master Servers" when not empty
};

bool ParseOptions(int argc, char** argv, Options& options) {
    for (int i = 1; i < argc; ++i) {
        std::string flag = argv[i];
        if (flag == "--pings") {
            options.pings = true;
        } else if (flag == "--plain") {
            options.plain = true;
        } else if (i + 1 < argc && flag == "--label") {
            options.label = argv[++i];
        } else if (i + 1 < argc && flag == "--pps") {
            options.packetsPerSecond = atoi(argv[++i]);
        } else if (i + 1 < argc && flag == "--runs") {
            options.runs = atoi(argv[++i]);
        } else if (i + 1 < argc && flag == "--masters") {
            std::string entry = argv[++i];
            options.masters.assign(entry.begin(), entry.end());
        } else {
            fprintf(stderr,
                    "usage: skerrow_bench --label NAME --pps N [--runs K] [--pings] [--plain] [--masters ENTRY]\n");
            return false;
        }
    }
    return true;
}

// A first start, but with the rate the run is to use (none: the build's own) and the masters given.
void WriteFirstStartSettings(const Options& options) {
    RegDeleteTreeW(HKEY_CURRENT_USER, SETTINGS_KEY);
    if (options.packetsPerSecond > 0) {
        DWORD value = static_cast<DWORD>(options.packetsPerSecond);
        RegSetKeyValueW(HKEY_CURRENT_USER, SETTINGS_KEY, L"Packets Per Second", REG_DWORD, &value, sizeof value);
    }
    if (!options.masters.empty()) {
        std::wstring strings = options.masters + L'\0' + L'\0';
        RegSetKeyValueW(HKEY_CURRENT_USER, SETTINGS_KEY, L"Master Servers", REG_MULTI_SZ, strings.c_str(),
                        static_cast<DWORD>(strings.size() * sizeof(wchar_t)));
    }
}

void PrintMemory(const char* label, const char* when) {
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof counters;
    GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters);
    printf("memory label=%s when=%s working_set=%zu peak_working_set=%zu pagefile=%zu peak_pagefile=%zu\n", label, when,
           counters.WorkingSetSize, counters.PeakWorkingSetSize, counters.PagefileUsage, counters.PeakPagefileUsage);
}

double FileTimeMs(const FILETIME& time) {
    ULARGE_INTEGER value;
    value.LowPart = time.dwLowDateTime;
    value.HighPart = time.dwHighDateTime;
    return static_cast<double>(value.QuadPart) / 10000.0;
}

// CPU time (user and kernel) of this thread, the user interface thread, and of the whole process, in ms.
struct CpuTimes {
    double thread;
    double process;
};

CpuTimes ReadCpuTimes() {
    FILETIME created, exited, kernel, user;
    CpuTimes times{};
    if (GetThreadTimes(GetCurrentThread(), &created, &exited, &kernel, &user)) {
        times.thread = FileTimeMs(kernel) + FileTimeMs(user);
    }
    if (GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user)) {
        times.process = FileTimeMs(kernel) + FileTimeMs(user);
    }
    return times;
}

// One run: clicks Update (run 0: the window's own start-up run, already going since `since`, the window's creation)
// and serves the window until the run has ended; then prints what it measured.
bool TimeRun(const Options& options, int index, bool withProbe, double since = 0) {
    CpuTimes cpuStart = ReadCpuTimes();
    if (withProbe) {
        StartRunProbe();
    }
    double clicked = index > 0 ? NowMs() : since;
    if (index > 0) {
        SendDlgItemMessageW(State().hMainDlg, IDC_UPDATE, BM_CLICK, 0, 0);
    }
    bool ended = PumpUntil([] { return State().session.run.running == 0; }, RUN_TIMEOUT_MS);
    double idle = NowMs();
    std::vector<double> stalls = withProbe ? StopProbe() : std::vector<double>{};
    if (!ended) {
        fprintf(stderr, "skerrow_bench: run %d did not end\n", index);
        return false;
    }
    CpuTimes cpu = ReadCpuTimes();
    int32_t answered = 0, queries = 0;
    for (int32_t i = 0; i < State().session.shown.count; ++i) {
        answered += State().session.shown.At(i).answered != 0;
        queries += State().session.shown.At(i).attempts;
    }
    printf("run label=%s index=%d pps=%d probe=%d servers=%d answered=%d queries=%d total_ms=%.3f",
           options.label.c_str(), index, State().session.config.packetsPerSecond, withProbe,
           State().session.shown.count, answered, queries, idle - clicked);
    if (withProbe) {
        printf(" closing_ms=%.3f stall_max_ms=%.3f stall_max_at_ms=%.0f stall_p99_ms=%.3f stall_median_ms=%.3f "
               "probes=%zu closing=\"%ls\"",
               runTexts.closing > 0 ? runTexts.closing - clicked : -1.0, Percentile(stalls, 1.0),
               ProbeWorstStart() - clicked, Percentile(stalls, 0.99), Percentile(stalls, 0.5), stalls.size(),
               runTexts.closingText);
    }
    printf(" ui_cpu_ms=%.0f process_cpu_ms=%.0f\n", cpu.thread - cpuStart.thread, cpu.process - cpuStart.process);
    fflush(stdout);
    return true;
}

void PrintPings(const Options& options) {
    for (int32_t i = 0; i < State().session.shown.count; ++i) {
        const ServerRecord& record = State().session.shown.At(i);
        std::u16string quad = DottedQuad(record.addr);
        printf("ping label=%s index=%d server=%s:%u answered=%d ping=%u\n", options.label.c_str(), i,
               std::string(quad.begin(), quad.end()).c_str(), record.port, record.answered, record.ping);
    }
    fflush(stdout);
}

} // namespace

int main(int argc, char** argv) {
    Options options;
    if (!ParseOptions(argc, argv, options)) {
        return 64;
    }
    InitApplication();
    WriteFirstStartSettings(options);
    PrintMemory(options.label.c_str(), "before-window");

    if (!options.plain) {
        CreateProbe(NoteStatusLine);
    }

    // Run 0 is the start-up run, which the window starts itself beside the filter download: reported, but not used
    // for the results. Nothing watches the window's messages: the downloaded filter text shows the download's end.
    double created = NowMs();
    mainWindow = CreateMainWindow(GetModuleHandleW(nullptr));
    if (!mainWindow) {
        fprintf(stderr, "skerrow_bench: the main window could not be created\n");
        return 1;
    }
    ProbeStatusBar(State().status.bar);
    if (!TimeRun(options, 0, false, created)) {
        return 1;
    }
    PumpUntil([] { return State().modFilters.text.has_value(); }, FILTERS_TIMEOUT_MS);

    for (int run = 1; run <= options.runs; ++run) {
        PumpUntil([] { return false; }, SETTLE_MS);
        if (!TimeRun(options, run, !options.plain)) {
            return 1;
        }
    }
    if (options.pings) {
        PrintPings(options);
    }
    PrintMemory(options.label.c_str(), "end");

    EndProbe();
    DestroyWindow(mainWindow);
    RegDeleteTreeW(HKEY_CURRENT_USER, SETTINGS_KEY);
    return 0;
}
