// The state file: the listed servers, kept across restarts.
//
//   skerrow-master state 1
//   a.b.c.d:port SECONDS GAMENAME        one line a server: its last answer (seconds since 1970), its gamename
//   end N                                 N: the number of server lines, so a torn file shows
//
// A file with the right first line is taken line by line: a damaged line is skipped and its neighbours kept, and a
// missing or wrong end line is reported without losing the servers read.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "server_address.h"

namespace skerrow_master {

struct SavedServer {
    ListEntry address;
    int64_t last_answer = 0; // seconds since 1970
    std::string gamename;    // 1 to 63 bytes, none of them a line feed or a zero byte
};

// A gamename fit for the file and the web list: what the reply parser leaves is always one.
bool IsSavableGameName(std::string_view gamename);

std::string FormatState(const std::vector<SavedServer>& servers);

struct StateContents {
    std::vector<SavedServer> servers; // the good lines, at most the number asked for
    size_t held = 0;                  // server lines the file holds, or says it holds: damaged ones too
    size_t damaged = 0;               // server lines skipped
    std::string damage;               // the first thing out of place ("line 4: not a server"); empty when none
};

// Reads the text into *contents (replacing what it held). False, with the reason ("line 1: ...") in *error and no
// servers, only for a text that is not a state file at all.
bool ParseState(std::string_view text, size_t max_servers, StateContents* contents, std::string* error);

enum class StateLoad { Loaded, Missing, Ignored, NotRegular };

// Reads and parses the file: Missing when it does not exist; NotRegular when the path names something other than a
// regular file (a FIFO would hang the reader); Ignored, with the reason in *error, when it cannot be read or is not
// a state file. Never waits on the path.
StateLoad ReadStateFile(const std::string& path, size_t max_servers, StateContents* contents, std::string* error);

// Writes the text to a fresh PATH.tmp, flushes it to disk and renames it over PATH, so the file is always whole.
// *error names the file that failed: PATH.tmp while writing it, PATH when it cannot be replaced.
bool WriteStateFile(const std::string& path, const std::string& text, std::string* error);

} // namespace skerrow_master
