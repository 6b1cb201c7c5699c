// The test side of the simulator's control channel (TCP, one command per connection), for tests under Wine.
#pragma once

#include <string>
#include <vector>

// Where scripts/lib/run-wine-tests starts the simulator's control channel.
constexpr const char* SIMULATOR_CONTROL_ADDRESS = "127.0.0.1";
constexpr unsigned short SIMULATOR_CONTROL_PORT = 7999;

// Sends the request to a TCP port on 127.0.0.1, ends the sending side, and returns everything that comes back until
// the other side closes; empty when nothing answers.
std::string LoopbackExchange(unsigned short port, const std::string& request);

// Replaces the simulator's whole scenario (and clears its log). Returns its answer: "OK", "ERROR ...", or an
// empty text when the simulator cannot be reached.
std::string SimLoad(const std::string& scenario);

// The simulator's log lines since the last load or clear.
std::vector<std::string> SimLog();

// Log lines that begin with the kind ("http", "query", "reply") after the timestamp.
std::vector<std::string> SimLogOf(const char* kind);

// The microsecond timestamp at the start of a log line.
long long SimLogTime(const std::string& line);

// The value of `key=` in a log line (up to the next space), or empty.
std::string SimLogField(const std::string& line, const char* key);
