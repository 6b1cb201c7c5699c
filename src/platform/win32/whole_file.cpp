#include "platform/win32/whole_file.h"

#include <windows.h>

#include <algorithm>

#include "core/text/format.h"
#include "platform/win32/win_holders.h"

namespace {

// CreateFileW fails with INVALID_HANDLE_VALUE, not null: held as null then.
HANDLE OpenedOrNull(HANDLE file) {
    return file == INVALID_HANDLE_VALUE ? nullptr : file;
}

} // namespace

bool ReadWholeFile(const std::wstring& path, size_t maxBytes, std::vector<unsigned char>& bytes) {
    KernelHandle handle(path.empty() ? nullptr
                                     : OpenedOrNull(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr)));
    if (!handle) {
        return false;
    }
    // Room for the file's size, not the cap's.
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(handle.get(), &size) || size.QuadPart < 0) {
        size.QuadPart = 0;
    }
    bytes.resize(static_cast<size_t>(std::min<ULONGLONG>(static_cast<ULONGLONG>(size.QuadPart), maxBytes)) + 1);
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

bool ReplaceFileWhole(const std::wstring& path, const std::vector<unsigned char>& bytes) {
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
        DeleteFileW(temporary.c_str());
        return false;
    }
    return true;
}
