#include "core/run/remembered_files.h"

#include "core/text/format.h"

#include <windows.h>
#include <shlobj.h>

#include "core/settings/remembered_list.h"
#include "platform/win32/wide.h"
#include "platform/win32/win_holders.h"

namespace {

// The folder, with its trailing backslash; empty when the system names none.
std::wstring ListFolder() {
    wchar_t folder[MAX_PATH];
    if (FAILED(SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, folder))) {
        return std::wstring();
    }
    return std::wstring(folder) + L"\\Skerrow\\";
}

// CreateFileW fails with INVALID_HANDLE_VALUE, not null: held as null then.
HANDLE OpenedOrNull(HANDLE file) {
    return file == INVALID_HANDLE_VALUE ? nullptr : file;
}

// The list's file in `folder`; empty when the system names no folder.
std::wstring FilePath(const std::wstring& folder, const std::u16string& modDir) {
    if (folder.empty()) {
        return folder;
    }
    std::u16string name = RememberedListFileName(modDir);
    return folder + AsWide(name.c_str());
}

// Reads at most one byte more than any remembered list, so a larger file is known as one without reading it all.
bool Recall(const std::u16string& modDir, std::vector<unsigned char>& file) {
    std::wstring path = FilePath(ListFolder(), modDir);
    KernelHandle handle(path.empty() ? nullptr
                                     : OpenedOrNull(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr)));
    if (!handle) {
        return false;
    }
    file.resize(MAX_REMEMBERED_FILE_BYTES + 1);
    size_t total = 0;
    DWORD read = 0;
    while (total < file.size() &&
           ReadFile(handle.get(), file.data() + total, static_cast<DWORD>(file.size() - total), &read, nullptr) &&
           read > 0) {
        total += read;
    }
    file.resize(total);
    return true;
}

void Remember(const std::u16string& modDir, const std::vector<unsigned char>& file) {
    std::wstring folder = ListFolder();
    std::wstring path = FilePath(folder, modDir);
    if (path.empty()) {
        return;
    }
    CreateDirectoryW(folder.c_str(), nullptr);
    // One temporary name per process, so two programs that end runs at once never write into each other's file.
    std::wstring temporary = fmt::format(L"{}.{}.tmp", path, GetCurrentProcessId());
    bool written = false;
    {
        KernelHandle handle(OpenedOrNull(
            CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr)));
        DWORD done = 0;
        written = handle && WriteFile(handle.get(), file.data(), static_cast<DWORD>(file.size()), &done, nullptr) &&
                  done == file.size() && FlushFileBuffers(handle.get());
    }
    if (!written || !MoveFileExW(temporary.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        DeleteFileW(temporary.c_str()); // the old list stays as it was
    }
}

} // namespace

std::u16string RememberedListFolder() {
    return AsU16(ListFolder().c_str());
}

RememberedStore RememberedListFiles() {
    return RememberedStore{Recall, Remember};
}
