// Times update runs of the real main window, in-process, against whatever the simulator serves: the query phase
// as the status line shows it, how long the user interface thread goes without answering, the pings the records
// keep, and the process's peak memory. Prints one machine-readable line per fact for scripts/bench.
//
// skerrow_bench --label NAME --pps N [--runs K] [--pings] [--minimized]
//   Opens the window on a first start with "Packets Per Second" = N (the start-up run is run 0, cold), then
//   clicks Update K more times (default 1). --pings prints every record's ping after the last run. --minimized
//   minimizes the window after the start-up run, to tell the cost of painting from the rest.
#include <windows.h>
#include <commctrl.h>
#include <mmsystem.h>
#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <string>
#include <vector>

#include "app/app_messages.h"
#include "app/app_state.h"
#include "app/main_window.h"
#include "app/settings_store.h"
#include "base/address.h"
#include "resource.h"

namespace {

constexpr DWORD RUN_TIMEOUT_MS = 15 * 60 * 1000;
constexpr DWORD FILTERS_TIMEOUT_MS = 10000;
constexpr DWORD PROBE_GAP_MS = 2; // between probes, so the probe does not crowd the thread it measures

LARGE_INTEGER frequency;

double NowMs() {
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return static_cast<double>(now.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
}

// Status line moments of the current run, stamped on the user interface thread as the bar receives its text.
struct RunMarks {
    double querying;   // "Querying servers..."
    double firstQuery; // the first "Querying <address>..."
    double closing;    // "Completed. ..." or "Aborted. ..."
    wchar_t closingText[256];
};
RunMarks marks;

LRESULT CALLBACK StatusStamper(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR) {
    if (message == SB_SETTEXTW && LOBYTE(LOWORD(wParam)) == 0 && lParam) {
        const wchar_t* text = reinterpret_cast<const wchar_t*>(lParam);
        double now = NowMs();
        if (wcscmp(text, L"Querying servers...") == 0) {
            marks.querying = now;
        } else if (wcsncmp(text, L"Querying ", 9) == 0 && marks.firstQuery == 0) {
            marks.firstQuery = now;
        } else if (wcsncmp(text, L"Completed.", 10) == 0 || wcsncmp(text, L"Aborted.", 8) == 0) {
            marks.closing = now;
            wcsncpy(marks.closingText, text, 255);
            marks.closingText[255] = 0;
        }
    }
    return DefSubclassProc(window, message, wParam, lParam);
}

// Paints of the server list and of the status bar in the current run: how many, and the time spent in them on
// the user interface thread (the list's cell texts and custom draw, which its parent answers, included).
struct PaintCost {
    int count;
    double ms;
};
PaintCost listPaints, barPaints;

LRESULT CALLBACK PaintTimer(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR data) {
    if (message != WM_PAINT) {
        return DefSubclassProc(window, message, wParam, lParam);
    }
    double start = NowMs();
    LRESULT result = DefSubclassProc(window, message, wParam, lParam);
    auto* cost = reinterpret_cast<PaintCost*>(data);
    cost->count++;
    cost->ms += NowMs() - start;
    return result;
}

// The probe: times SendMessage(WM_NULL) to the main dialog from its own thread, for as long as `probing` is set.
// Written by the probe thread only while probing; read by the main thread after it has stopped the probe.
struct ProbeState {
    volatile LONG probing;
    volatile LONG quit;
    HANDLE idle; // set by the probe when it is not probing
    std::vector<double> samples;
    double worst;      // the longest sample so far
    double worstStart; // when it began
};
ProbeState probe;

DWORD WINAPI ProbeThread(LPVOID) {
    timeBeginPeriod(1);
    while (!probe.quit) {
        if (!probe.probing) {
            SetEvent(probe.idle);
            Sleep(1);
            continue;
        }
        ResetEvent(probe.idle);
        double start = NowMs();
        SendMessageW(app.hMainDlg, WM_NULL, 0, 0);
        double took = NowMs() - start;
        probe.samples.push_back(took);
        if (took > probe.worst) {
            probe.worst = took;
            probe.worstStart = start;
        }
        Sleep(PROBE_GAP_MS);
    }
    timeEndPeriod(1);
    return 0;
}

void StartProbe() {
    WaitForSingleObject(probe.idle, INFINITE);
    probe.samples.clear();
    probe.worst = 0;
    probe.worstStart = 0;
    InterlockedExchange(&probe.probing, 1);
}

std::vector<double> StopProbe() {
    InterlockedExchange(&probe.probing, 0);
    // The probe may be inside a SendMessage to this thread: keep serving messages until it is idle.
    while (MsgWaitForMultipleObjects(1, &probe.idle, FALSE, INFINITE, QS_ALLINPUT) != WAIT_OBJECT_0) {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            DispatchMessageW(&message);
        }
    }
    return probe.samples;
}

int filterFills = 0;
LRESULT CALLBACK FillCounter(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HC_ACTION && reinterpret_cast<CWPSTRUCT*>(lParam)->message == WM_APP_MOD_FILTERS_FILLED) {
        ++filterFills;
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

// The program's own message loop, with a deadline; returns once the condition holds.
template <typename Condition> bool PumpUntil(Condition condition, DWORD timeoutMs) {
    DWORD start = GetTickCount();
    for (;;) {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.message == WM_QUIT) {
                continue;
            }
            if (!app.hMainDlg || !IsDialogMessageW(app.hMainDlg, &message)) {
                TranslateMessage(&message);
                DispatchMessageW(&message);
            }
        }
        if (condition()) {
            return true;
        }
        if (GetTickCount() - start >= timeoutMs) {
            return false;
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
    }
}

double Percentile(std::vector<double> values, double fraction) {
    if (values.empty()) {
        return 0;
    }
    std::sort(values.begin(), values.end());
    size_t index = static_cast<size_t>(fraction * static_cast<double>(values.size() - 1) + 0.5);
    return values[std::min(index, values.size() - 1)];
}

struct Options {
    std::string label = "run";
    int packetsPerSecond = 10;
    int runs = 1;
    bool pings = false;
    bool minimized = false; // a diagnostic: the window minimized, so no run pays for painting it
};

bool ParseOptions(int argc, char** argv, Options& options) {
    for (int i = 1; i < argc; ++i) {
        std::string flag = argv[i];
        if (flag == "--pings") {
            options.pings = true;
        } else if (flag == "--minimized") {
            options.minimized = true;
        } else if (i + 1 < argc && flag == "--label") {
            options.label = argv[++i];
        } else if (i + 1 < argc && flag == "--pps") {
            options.packetsPerSecond = atoi(argv[++i]);
        } else if (i + 1 < argc && flag == "--runs") {
            options.runs = atoi(argv[++i]);
        } else {
            fprintf(stderr, "usage: skerrow_bench --label NAME --pps N [--runs K] [--pings] [--minimized]\n");
            return false;
        }
    }
    return true;
}

// A first start, but with the rate the run is to use.
void WriteFirstStartSettings(int packetsPerSecond) {
    RegDeleteTreeW(HKEY_CURRENT_USER, SETTINGS_KEY);
    HKEY key;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, SETTINGS_KEY, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr) ==
        ERROR_SUCCESS) {
        DWORD value = static_cast<DWORD>(packetsPerSecond);
        RegSetValueExW(key, L"Packets Per Second", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
        RegCloseKey(key);
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

// CPU time (user and kernel) of this thread and of the whole process, in ms.
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

CpuTimes runCpuStart;

// One run's facts; the run has ended and the probe has stopped.
void PrintRun(const Options& options, int index, double clicked, const std::vector<double>& stalls) {
    CpuTimes cpu = ReadCpuTimes();
    int32_t answered = 0;
    for (int32_t i = 0; i < app.serverCount; ++i) {
        answered += app.servers[i].answered != 0;
    }
    double first = marks.firstQuery ? marks.firstQuery : marks.querying;
    auto since = [](double mark) { return mark > 0 && marks.closing > 0 ? marks.closing - mark : -1.0; };
    printf("run label=%s index=%d pps=%d servers=%d answered=%d total_ms=%.3f query_ms=%.3f "
           "from_first_query_ms=%.3f stall_max_ms=%.3f stall_max_at_ms=%.0f stall_p99_ms=%.3f stall_median_ms=%.3f "
           "probes=%zu "
           "ui_cpu_ms=%.0f process_cpu_ms=%.0f list_paints=%d list_paint_ms=%.1f bar_paints=%d bar_paint_ms=%.1f "
           "closing=\"%ls\"\n",
           options.label.c_str(), index, app.packetsPerSecond, app.serverCount, answered, since(clicked),
           since(marks.querying), since(first), Percentile(stalls, 1.0), probe.worstStart - clicked,
           Percentile(stalls, 0.99), Percentile(stalls, 0.5), stalls.size(), cpu.thread - runCpuStart.thread,
           cpu.process - runCpuStart.process, listPaints.count, listPaints.ms, barPaints.count, barPaints.ms,
           marks.closingText);
    fflush(stdout);
}

void PrintPings(const Options& options) {
    for (int32_t i = 0; i < app.serverCount; ++i) {
        const ServerRecord& record = app.servers[i];
        char address[DOTTED_QUAD_SIZE];
        FormatDottedQuad(record.addr, address);
        printf("ping label=%s index=%d server=%s:%u answered=%d ping=%u\n", options.label.c_str(), i, address,
               record.port, record.answered, record.ping);
    }
    fflush(stdout);
}

} // namespace

int main(int argc, char** argv) {
    Options options;
    if (!ParseOptions(argc, argv, options)) {
        return 64;
    }
    QueryPerformanceFrequency(&frequency);
    InitApplication(GetModuleHandleW(nullptr));
    WriteFirstStartSettings(options.packetsPerSecond);
    PrintMemory(options.label.c_str(), "before-window");

    probe.idle = CreateEventW(nullptr, TRUE, TRUE, nullptr);
    HANDLE probeThread = CreateThread(nullptr, 0, ProbeThread, nullptr, 0, nullptr);
    SetWindowsHookExW(WH_CALLWNDPROC, FillCounter, nullptr, GetCurrentThreadId());

    // Run 0 is the start-up run, which the window starts itself; the stamper goes on as soon as the window exists,
    // in practice before the worker's first text is served. If it missed a mark, that time prints as -1.
    marks = RunMarks{};
    listPaints = barPaints = PaintCost{};
    runCpuStart = ReadCpuTimes();
    double clicked = NowMs();
    if (!CreateMainWindow()) {
        fprintf(stderr, "skerrow_bench: the main window could not be created\n");
        return 1;
    }
    SetWindowSubclass(app.hStatusBar, StatusStamper, 1, 0);
    SetWindowSubclass(app.hStatusBar, PaintTimer, 2, reinterpret_cast<DWORD_PTR>(&barPaints));
    SetWindowSubclass(app.hServerList, PaintTimer, 2, reinterpret_cast<DWORD_PTR>(&listPaints));
    StartProbe();
    bool ended = PumpUntil([] { return app.updateRunning == 0; }, RUN_TIMEOUT_MS);
    std::vector<double> stalls = StopProbe();
    if (!ended) {
        fprintf(stderr, "skerrow_bench: the start-up run did not end\n");
        return 1;
    }
    PrintRun(options, 0, clicked, stalls);
    // The filter download of the start-up must be over before anything is timed.
    PumpUntil([] { return filterFills > 0; }, FILTERS_TIMEOUT_MS);

    if (options.minimized) {
        ShowWindow(app.hMainDlg, SW_MINIMIZE);
    }
    for (int run = 1; run <= options.runs; ++run) {
        marks = RunMarks{};
        listPaints = barPaints = PaintCost{};
        runCpuStart = ReadCpuTimes();
        StartProbe();
        clicked = NowMs();
        SendDlgItemMessageW(app.hMainDlg, IDC_UPDATE, BM_CLICK, 0, 0);
        ended = PumpUntil([] { return app.updateRunning == 0; }, RUN_TIMEOUT_MS);
        stalls = StopProbe();
        if (!ended) {
            fprintf(stderr, "skerrow_bench: run %d did not end\n", run);
            return 1;
        }
        PrintRun(options, run, clicked, stalls);
    }
    if (options.pings) {
        PrintPings(options);
    }
    PrintMemory(options.label.c_str(), "end");

    InterlockedExchange(&probe.quit, 1);
    WaitForSingleObject(probeThread, INFINITE);
    DestroyWindow(app.hMainDlg);
    RegDeleteTreeW(HKEY_CURRENT_USER, SETTINGS_KEY);
    return 0;
}
