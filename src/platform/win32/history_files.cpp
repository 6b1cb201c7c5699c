#include "core/history/history_files.h"

#include <windows.h>

#include "core/history/history_file.h"
#include "core/run/remembered_files.h"
#include "core/settings/recent_servers.h"
#include "core/text/format.h"
#include "platform/win32/wide.h"
#include "platform/win32/whole_file.h"

namespace {

std::wstring HistoryPath() {
    std::wstring folder = AsWide(RememberedListFolder().c_str());
    return folder.empty() ? folder : folder + AsWide(HISTORY_FILE_NAME);
}

// At most one byte more than the largest history: a larger file is known as one without reading it all.
bool ReadHistory(std::vector<unsigned char>& bytes) {
    return ReadWholeFile(HistoryPath(), HISTORY_FILE_MAX_BYTES, bytes);
}

bool WriteHistory(const std::vector<unsigned char>& bytes) {
    std::wstring path = HistoryPath();
    if (path.empty()) {
        return false;
    }
    CreateDirectoryW(AsWide(RememberedListFolder().c_str()), nullptr);
    return ReplaceFileWhole(path, bytes);
}

std::u16string SetHistoryAside(int64_t now) {
    std::wstring path = HistoryPath();
    if (path.empty()) {
        return std::u16string();
    }
    CivilTime at = CivilFromSeconds(now);
    std::wstring stamp = fmt::format(L"{}.damaged-{:04}{:02}{:02}-{:02}{:02}{:02}", AsWide(HISTORY_FILE_NAME), at.year,
                                     at.month, at.day, at.hour, at.minute, at.second);
    std::wstring folder = AsWide(RememberedListFolder().c_str());
    for (int attempt = 1; attempt <= 9; ++attempt) {
        std::wstring name = attempt == 1 ? stamp : fmt::format(L"{}-{}", stamp, attempt);
        // Without MOVEFILE_REPLACE_EXISTING: a file set aside before is never replaced.
        if (MoveFileExW(path.c_str(), (folder + name).c_str(), MOVEFILE_WRITE_THROUGH)) {
            return AsU16(name.c_str());
        }
        if (GetLastError() != ERROR_ALREADY_EXISTS && GetLastError() != ERROR_FILE_EXISTS) {
            break;
        }
    }
    return std::u16string();
}

} // namespace

HistoryFiles ServerHistoryFiles() {
    return HistoryFiles{ReadHistory, WriteHistory, SetHistoryAside};
}

std::u16string ServerHistoryPath() {
    return AsU16(HistoryPath().c_str());
}
