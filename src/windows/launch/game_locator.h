// Finding the game's executable on the fixed drives: a depth-first walk of their directory trees that stops at each
// find and is taken up again where it stopped, so the worker that walks it never waits for the user's answer. Win32
// side; the walk is used by one thread at a time: the search's worker while it walks, the window's between workers.
#pragma once

#include <windows.h>

#include <atomic>
#include <string>
#include <vector>

enum class WalkStep {
    DriveStarted, // the walk has entered a drive: DriveIndex says which
    Found,        // a file named like the executable: FoundDirectory says where
    Ended,        // every drive has been walked
    Stopped,      // the stop flag was seen
};

class GameTreeWalk {
public:
    // Walks `roots` (paths ending in a backslash, such as "C:\") in order for a file named `gameExe`, in any case.
    GameTreeWalk(std::wstring gameExe, std::vector<std::wstring> roots);
    ~GameTreeWalk();
    GameTreeWalk(const GameTreeWalk&) = delete;
    GameTreeWalk& operator=(const GameTreeWalk&) = delete;

    // Walks on to the next step. Each directory's entries are taken in the order the file system lists them, a
    // subdirectory's before the entries after it; the stop flag is looked at before each drive and each entry. A
    // directory that cannot be listed holds nothing; an entry whose path would pass 259 characters ends the listing of
    // its directory; reparse points (junctions, symbolic links) are never entered, so no loop is followed.
    WalkStep Next(const std::atomic<bool>& stop);

    size_t DriveIndex() const { return drive_; }
    const std::wstring& Root(size_t drive) const { return roots_[drive]; }
    const std::wstring& FoundDirectory() const { return found_; }

private:
    struct Listing {
        std::wstring directory; // ends in a backslash
        HANDLE handle;
        WIN32_FIND_DATAW entry;
        bool entryTaken; // the entry in `entry` has been dealt with: the next comes from FindNextFile
    };

    void Enter(const std::wstring& directory);
    void Leave();

    const std::wstring gameExe_;
    const std::vector<std::wstring> roots_;
    size_t nextDrive_ = 0;
    size_t drive_ = 0;
    std::vector<Listing> listings_; // the directories being listed, the drive's root first
    std::wstring found_;
};

// The fixed drives C: to Z:, in order, as walk roots ("C:\"); A: and B: and other kinds of drive are never searched.
std::vector<std::wstring> FixedDriveRoots();
