#include "core/history/history_files.h"

#include <windows.h>

#include <algorithm>

#include "core/history/history_file.h"
#include "core/run/remembered_files.h"
#include "core/settings/recent_servers.h"
#include "core/text/format.h"
#include "platform/win32/wide.h"
#include "platform/win32/win_holders.h"

namespace {

// CreateFileW fails with INVALID_HANDLE_VALUE, not null: held as null then.
HANDLE OpenedOrNull(HANDLE file) {
    return file == INVALID_HANDLE_VALUE ? nullptr : file;
}

std::wstring HistoryPath() {
    std::wstring folder = AsWide(RememberedListFolder().c_str());
    return folder.empty() ? folder : folder + AsWide(HISTORY_FILE_NAME);
}

// Reads the file and one byte more, at most one byte more than the largest history: a larger file is known as one
// without reading it all.
bool ReadHistory(std::vector<unsigned char>& bytes) {
    std::wstring path = HistoryPath();
    KernelHandle handle(path.empty() ? nullptr
                                     : OpenedOrNull(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr)));
    if (!handle) {
        return false;
    }
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(handle.get(), &size) || size.QuadPart < 0) {
        size.QuadPart = 0;
    }
    bytes.resize(static_cast<size_t>(std::min<LONGLONG>(size.QuadPart, HISTORY_FILE_MAX_BYTES)) + 1);
    size_t total = 0;
    DWORD read = 0;
    while (total < bytes.size() &&
           ReadFile(handle.get(), bytes.data() + total, static_cast<DWORD>(bytes.size() - total), &read, nullptr) &&
           read > 0) {
        total += read;
    }
    bytes.resize(total);
    return true;
}

bool WriteHistory(const std::vector<unsigned char>& bytes) {
    std::wstring path = HistoryPath();
    if (path.empty()) {
        return false;
    }
    CreateDirectoryW(AsWide(RememberedListFolder().c_str()), nullptr);
    // One temporary name per process, so two programs that save at once never write into each other's file.
    std::wstring temporary = fmt::format(L"{}.{}.tmp", path, GetCurrentProcessId());
    bool written = false;
    {
        KernelHandle handle(OpenedOrNull(
            CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr)));
        DWORD done = 0;
        written = handle && WriteFile(handle.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &done, nullptr) &&
                  done == bytes.size() && FlushFileBuffers(handle.get());
    }
    if (!written || !MoveFileExW(temporary.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        DeleteFileW(temporary.c_str()); // the old file stays as it was
        return false;
    }
    return true;
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
