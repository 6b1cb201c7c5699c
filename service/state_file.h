// The state file: the listed servers, kept across restarts.
//
//   skerrow-master state 1
//   a.b.c.d:port SECONDS GAMENAME        one line a server: its last answer (seconds since 1970), its gamename
//   end N                                 N: the number of server lines, so a torn file shows
//
// A file is taken whole or not at all: anything out of place rejects it.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "server_address.h"

struct SavedServer {
    ServerAddress address;
    int64_t last_answer = 0; // seconds since 1970
    std::string gamename;    // 1 to 63 bytes, none of them a line feed or a zero byte
};

// A gamename fit for the file and the web list: what the reply parser leaves is always one.
bool IsSavableGameName(std::string_view gamename);

std::string FormatState(const std::vector<SavedServer>& servers);

// Reads the text into `servers` (replacing what they held); at most max_servers lines. On failure returns false
// with the reason ("line 4: ...") in *error and leaves `servers` empty.
bool ParseState(std::string_view text, size_t max_servers, std::vector<SavedServer>* servers, std::string* error);

enum class StateLoad { Loaded, Missing, Ignored };

// Reads and parses the file; a file that does not exist is Missing, one that cannot be read or parsed is Ignored
// with the reason in *error.
StateLoad ReadStateFile(const std::string& path, size_t max_servers, std::vector<SavedServer>* servers,
                        std::string* error);

// Writes the text to PATH.tmp, flushes it to disk and renames it over PATH, so the file is always whole.
bool WriteStateFile(const std::string& path, const std::string& text, std::string* error);
