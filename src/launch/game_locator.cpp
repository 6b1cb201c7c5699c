#include "launch/game_locator.h"

#include "app/app_state.h"

#include <strsafe.h>

#include "base/wide.h"

namespace {

// The longest path the search forms: a directory, an entry's name and the separator or terminator.
constexpr size_t SEARCH_PATH_LIMIT = 259;
constexpr size_t QUESTION_TEXT_SIZE = 512;

bool IsSubdirectory(const WIN32_FIND_DATAW& entry) {
    return (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 && wcscmp(entry.cFileName, L".") != 0 &&
           wcscmp(entry.cFileName, L"..") != 0;
}

// File names compare as the file system does: ignoring case.
bool IsGameExecutable(const wchar_t* name) {
    return CompareStringOrdinal(name, -1, AsWide(app.config.gameExe), -1, TRUE) == CSTR_EQUAL;
}

bool UserAccepts(const wchar_t* directory) {
    wchar_t question[QUESTION_TEXT_SIZE];
    StringCchPrintfW(question, QUESTION_TEXT_SIZE,
                     L"Skerrow found '%s' in:\r\n\t%s\r\nIs this the one you wish to use?", AsWide(app.config.gameExe), directory);
    return MessageBoxW(app.hMainDlg, question, L"Quake II Location", MB_YESNO | MB_ICONQUESTION) == IDYES;
}

} // namespace

bool FindGameExecutable(const wchar_t* directory, wchar_t* found) {
    wchar_t path[PATH_TEXT_SIZE];
    // A pattern that does not fit would list some other directory.
    if (FAILED(StringCchPrintfW(path, PATH_TEXT_SIZE, L"%s*", directory))) {
        return false;
    }
    WIN32_FIND_DATAW entry;
    HANDLE listing = FindFirstFileW(path, &entry);
    if (listing == INVALID_HANDLE_VALUE) {
        return false;
    }
    size_t directoryLength = wcslen(directory);
    bool accepted = false;
    do {
        if (directoryLength + wcslen(entry.cFileName) + 1 > SEARCH_PATH_LIMIT) {
            break;
        }
        if (IsSubdirectory(entry)) {
            StringCchPrintfW(path, PATH_TEXT_SIZE, L"%s%s\\", directory, entry.cFileName);
            accepted = FindGameExecutable(path, found);
        } else if (IsGameExecutable(entry.cFileName) && UserAccepts(directory)) {
            StringCchCopyW(found, PATH_TEXT_SIZE, directory);
            accepted = true;
        }
    } while (!accepted && FindNextFileW(listing, &entry));
    FindClose(listing);
    return accepted;
}
