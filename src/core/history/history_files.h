// Where the history is kept: the file "Server History" in the program's local application data folder, beside the
// remembered lists (platform/win32). Each call may come from any thread; the keeper makes one at a time. Portable
// (no Win32).
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

constexpr const char16_t* HISTORY_FILE_NAME = u"Server History";

struct HistoryFiles {
    // The file's bytes, at most one past the largest file a history makes; false when there is no file.
    std::function<bool(std::vector<unsigned char>& bytes)> read;
    // Replaces the file whole (a temporary file renamed over it); false, and the old file as it was, on failure.
    std::function<bool(const std::vector<unsigned char>& bytes)> write;
    // Renames the file to "Server History.damaged-YYYYMMDD-HHMMSS" (UTC `now`, with "-2" and on when that name is
    // taken): the new name, empty when it could not be renamed.
    std::function<std::u16string(int64_t now)> setAside;
};

// The files of the folder the system names.
HistoryFiles ServerHistoryFiles();
// Its path, for the about box and the tests; empty when the system names no folder.
std::u16string ServerHistoryPath();
