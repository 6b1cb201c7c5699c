// Finding the game's executable in one directory tree. Win32 side; runs on the game search's worker and touches no
// window and nothing shared: all it needs comes in a TreeSearch.
#pragma once

#include <windows.h>

#include <atomic>
#include <functional>

struct TreeSearch {
    const wchar_t* gameExe;                            // the file name looked for, in any case
    const std::atomic<bool>* stop;                     // set by the user interface thread to end the search
    std::function<bool(const wchar_t* directory)> ask; // whether the user takes the find in `directory`; may wait
};

enum class TreeSearchEnd { NotFound, Accepted, Stopped };

// Searches `directory` (a path ending in a backslash) depth first, in the order the file system lists entries, for a
// file named gameExe, asking about each one found, until one is accepted or the stop flag is seen (before each
// entry and after each question). Accepted leaves the directory of the find in `found` (PATH_TEXT_SIZE characters).
// A directory that cannot be listed holds nothing; an entry whose path would pass 259 characters ends the listing
// of its directory; reparse points (junctions, symbolic links) are never entered, so no loop is followed.
TreeSearchEnd FindGameExecutable(const TreeSearch& search, const wchar_t* directory, wchar_t* found);
