// Where the service's log lines go: one line per notable event. The daemon writes them to standard error with the
// time in front; the tests collect them.
#pragma once

#include <functional>
#include <string>

using LogSink = std::function<void(const std::string& line)>;

// "2026-12-07T15:36:45Z <line>" on standard error, flushed at once.
LogSink StandardErrorLog();
