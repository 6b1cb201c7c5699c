// Finding the game's executable on a local drive. Win32 side; user interface thread only.
#pragma once

#include <windows.h>

// Searches `directory` (a path ending in a backslash) depth first, in the order the file system lists entries, for a
// file named gameExe (any case), asking the user about each one found. Returns true with the directory of the one
// accepted in `found` (PATH_TEXT_SIZE characters). A directory that cannot be listed holds nothing, and an entry
// whose path would pass 259 characters ends the listing of its directory.
bool FindGameExecutable(const wchar_t* directory, wchar_t* found);
