#include "windows/launch/game_locator.h"

namespace {

// The longest path the search forms: a directory, an entry's name and the separator or terminator.
constexpr size_t SEARCH_PATH_LIMIT = 259;

// A directory other than "." and "..", and no reparse point: a junction or link could lead back up the tree.
bool IsSearchedSubdirectory(const WIN32_FIND_DATAW& entry) {
    return (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 &&
           (entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0 && wcscmp(entry.cFileName, L".") != 0 &&
           wcscmp(entry.cFileName, L"..") != 0;
}

} // namespace

GameTreeWalk::GameTreeWalk(std::wstring gameExe, std::vector<std::wstring> roots)
    : gameExe_(std::move(gameExe)), roots_(std::move(roots)) {}

GameTreeWalk::~GameTreeWalk() {
    while (!listings_.empty()) {
        Leave();
    }
}

// A pattern that does not fit would list some other directory: such a directory holds nothing.
void GameTreeWalk::Enter(const std::wstring& directory) {
    std::wstring pattern = directory + L"*";
    if (pattern.size() > SEARCH_PATH_LIMIT) {
        return;
    }
    Listing listing{directory, INVALID_HANDLE_VALUE, {}, false};
    listing.handle = FindFirstFileW(pattern.c_str(), &listing.entry);
    if (listing.handle != INVALID_HANDLE_VALUE) {
        listings_.push_back(std::move(listing));
    }
}

void GameTreeWalk::Leave() {
    FindClose(listings_.back().handle);
    listings_.pop_back();
}

WalkStep GameTreeWalk::Next(const std::atomic<bool>& stop) {
    for (;;) {
        if (listings_.empty()) {
            if (nextDrive_ == roots_.size()) {
                return WalkStep::Ended;
            }
            if (stop.load(std::memory_order_acquire)) {
                return WalkStep::Stopped;
            }
            drive_ = nextDrive_++;
            Enter(roots_[drive_]);
            return WalkStep::DriveStarted;
        }
        Listing& listing = listings_.back();
        if (listing.entryTaken && !FindNextFileW(listing.handle, &listing.entry)) {
            Leave();
            continue;
        }
        listing.entryTaken = true;
        if (stop.load(std::memory_order_acquire)) {
            return WalkStep::Stopped;
        }
        const WIN32_FIND_DATAW& entry = listing.entry;
        if (listing.directory.size() + wcslen(entry.cFileName) + 1 > SEARCH_PATH_LIMIT) {
            Leave();
        } else if (IsSearchedSubdirectory(entry)) {
            Enter(listing.directory + entry.cFileName + L"\\");
        } else if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 &&
                   CompareStringOrdinal(entry.cFileName, -1, gameExe_.c_str(), -1, TRUE) == CSTR_EQUAL) {
            // File names compare as the file system does: ignoring case.
            found_ = listing.directory;
            return WalkStep::Found;
        }
    }
}

std::vector<std::wstring> FixedDriveRoots() {
    std::vector<std::wstring> roots;
    for (wchar_t letter = L'C'; letter <= L'Z'; ++letter) {
        std::wstring root = {letter, L':', L'\\'};
        if (GetDriveTypeW(root.c_str()) == DRIVE_FIXED) {
            roots.push_back(root);
        }
    }
    return roots;
}
