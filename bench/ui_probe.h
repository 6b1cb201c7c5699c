// How long the user interface thread goes without answering, measured from outside as another program would: a probe
// thread asks the status bar for its text every PROBE_GAP_MS, and how long each answer takes is how long the thread
// was busy. Nothing is hooked or subclassed. Shared by the benchmark programs under Wine.
#pragma once

#include <windows.h>

#include <cstddef>
#include <functional>
#include <vector>

constexpr DWORD PROBE_GAP_MS = 2;
constexpr size_t STATUS_TEXT_SIZE = 1024;

double NowMs();

// Starts the probe's thread (idle until StartProbe), which calls `onText` with each text it reads, on its own thread.
void CreateProbe(std::function<void(const wchar_t* text)> onText = nullptr);
// The status bar to ask, once the window exists.
void ProbeStatusBar(HWND statusBar);
// Starts probing; StopProbe ends it and returns how long each answer took, serving this thread's messages while the
// probe may be waiting for them.
void StartProbe();
std::vector<double> StopProbe();
// The longest answer of the last probing, and when it was asked (on NowMs's clock).
double ProbeWorst();
double ProbeWorstStart();
// Ends the probe's thread.
void EndProbe();

// The program's own message loop for `window`, with a deadline; returns once the condition holds.
bool PumpWindowUntil(HWND window, const std::function<bool()>& condition, DWORD timeoutMs);

double Percentile(std::vector<double> values, double fraction);
