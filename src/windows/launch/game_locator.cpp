#include "windows/launch/game_locator.h"

#include <strsafe.h>

#include "core/settings/settings.h"

namespace {

// The longest path the search forms: a directory, an entry's name and the separator or terminator.
constexpr size_t SEARCH_PATH_LIMIT = 259;

// File names compare as the file system does: ignoring case.
bool IsGameExecutable(const TreeSearch& search, const wchar_t* name) {
    return CompareStringOrdinal(name, -1, search.gameExe, -1, TRUE) == CSTR_EQUAL;
}

bool Stopped(const TreeSearch& search) {
    return search.stop->load(std::memory_order_acquire);
}

// A directory other than "." and "..", and no reparse point: a junction or link could lead back up the tree.
bool IsSearchedSubdirectory(const WIN32_FIND_DATAW& entry) {
    return (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 &&
           (entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0 && wcscmp(entry.cFileName, L".") != 0 &&
           wcscmp(entry.cFileName, L"..") != 0;
}

} // namespace

TreeSearchEnd FindGameExecutable(const TreeSearch& search, const wchar_t* directory, wchar_t* found) {
    wchar_t path[PATH_TEXT_SIZE];
    // A pattern that does not fit would list some other directory.
    if (FAILED(StringCchPrintfW(path, PATH_TEXT_SIZE, L"%s*", directory))) {
        return TreeSearchEnd::NotFound;
    }
    WIN32_FIND_DATAW entry;
    HANDLE listing = FindFirstFileW(path, &entry);
    if (listing == INVALID_HANDLE_VALUE) {
        return TreeSearchEnd::NotFound;
    }
    size_t directoryLength = wcslen(directory);
    TreeSearchEnd end = TreeSearchEnd::NotFound;
    do {
        if (Stopped(search)) {
            end = TreeSearchEnd::Stopped;
        } else if (directoryLength + wcslen(entry.cFileName) + 1 > SEARCH_PATH_LIMIT) {
            break;
        } else if (IsSearchedSubdirectory(entry)) {
            StringCchPrintfW(path, PATH_TEXT_SIZE, L"%s%s\\", directory, entry.cFileName);
            end = FindGameExecutable(search, path, found);
        } else if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 &&
                   IsGameExecutable(search, entry.cFileName)) {
            if (search.ask(directory)) {
                StringCchCopyW(found, PATH_TEXT_SIZE, directory);
                end = TreeSearchEnd::Accepted;
            } else if (Stopped(search)) {
                end = TreeSearchEnd::Stopped;
            }
        }
    } while (end == TreeSearchEnd::NotFound && FindNextFileW(listing, &entry));
    FindClose(listing);
    return end;
}
