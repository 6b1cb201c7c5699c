#include "ui_probe.h"

#include <commctrl.h>
#include <mmsystem.h>

#include <algorithm>

namespace {

LARGE_INTEGER frequency;

// Written by the probe thread while `probing` is set; read by the main thread once it has stopped it.
struct ProbeState {
    volatile LONG probing;
    volatile LONG quit;
    HANDLE idle; // set by the probe while it is not probing
    HANDLE thread;
    std::vector<double> samples;
    double worst;      // the longest answer so far
    double worstStart; // when it was asked
    HWND statusBar;
    std::function<void(const wchar_t*)> onText;
};
ProbeState probe;

void ReadStatusLine(wchar_t (&text)[STATUS_TEXT_SIZE]) {
    text[0] = 0;
    HWND statusBar = reinterpret_cast<HWND>(
        InterlockedCompareExchangePointer(reinterpret_cast<void* volatile*>(&probe.statusBar), nullptr, nullptr));
    auto length = static_cast<size_t>(LOWORD(SendMessageW(statusBar, SB_GETTEXTLENGTHW, 0, 0)));
    if (length < STATUS_TEXT_SIZE) {
        SendMessageW(statusBar, SB_GETTEXTW, 0, reinterpret_cast<LPARAM>(text));
    }
}

DWORD WINAPI ProbeThread(LPVOID) {
    timeBeginPeriod(1);
    wchar_t text[STATUS_TEXT_SIZE];
    while (!probe.quit) {
        if (!probe.probing) {
            SetEvent(probe.idle);
            Sleep(1);
            continue;
        }
        ResetEvent(probe.idle);
        double start = NowMs();
        ReadStatusLine(text);
        double took = NowMs() - start;
        probe.samples.push_back(took);
        if (took > probe.worst) {
            probe.worst = took;
            probe.worstStart = start;
        }
        if (probe.onText) {
            probe.onText(text);
        }
        Sleep(PROBE_GAP_MS);
    }
    timeEndPeriod(1);
    return 0;
}

} // namespace

double NowMs() {
    if (frequency.QuadPart == 0) {
        QueryPerformanceFrequency(&frequency);
    }
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return static_cast<double>(now.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
}

void CreateProbe(std::function<void(const wchar_t* text)> onText) {
    NowMs();
    probe.onText = std::move(onText);
    probe.idle = CreateEventW(nullptr, TRUE, TRUE, nullptr);
    probe.thread = CreateThread(nullptr, 0, ProbeThread, nullptr, 0, nullptr);
}

void ProbeStatusBar(HWND statusBar) {
    InterlockedExchangePointer(reinterpret_cast<void* volatile*>(&probe.statusBar), statusBar);
}

void StartProbe() {
    WaitForSingleObject(probe.idle, INFINITE);
    probe.samples.clear();
    probe.worst = probe.worstStart = 0;
    InterlockedExchange(&probe.probing, 1);
}

std::vector<double> StopProbe() {
    InterlockedExchange(&probe.probing, 0);
    // The probe may be waiting for this thread's answer: keep serving messages until it is idle.
    while (MsgWaitForMultipleObjects(1, &probe.idle, FALSE, INFINITE, QS_ALLINPUT) != WAIT_OBJECT_0) {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.message != WM_QUIT) {
                TranslateMessage(&message);
                DispatchMessageW(&message);
            }
        }
    }
    return probe.samples;
}

double ProbeWorst() {
    return probe.worst;
}

double ProbeWorstStart() {
    return probe.worstStart;
}

void EndProbe() {
    if (probe.thread) {
        InterlockedExchange(&probe.quit, 1);
        WaitForSingleObject(probe.thread, INFINITE);
        probe.thread = nullptr;
    }
}

bool PumpWindowUntil(HWND window, const std::function<bool()>& condition, DWORD timeoutMs) {
    DWORD start = GetTickCount();
    for (;;) {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.message == WM_QUIT) {
                continue;
            }
            if (!IsWindow(window) || !IsDialogMessageW(window, &message)) {
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
