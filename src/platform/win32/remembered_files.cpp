#include "core/run/remembered_files.h"

#include "core/text/format.h"

#include <windows.h>
#include <shlobj.h>

#include "core/settings/remembered_list.h"
#include "platform/win32/wide.h"
#include "platform/win32/whole_file.h"

namespace {

// The folder, with its trailing backslash; empty when the system names none.
std::wstring ListFolder() {
    wchar_t folder[MAX_PATH];
    if (FAILED(SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, folder))) {
        return std::wstring();
    }
    return std::wstring(folder) + L"\\Skerrow\\";
}

// The list's file in `folder`; empty when the system names no folder.
std::wstring FilePath(const std::wstring& folder, const std::u16string& modDir) {
    if (folder.empty()) {
        return folder;
    }
    std::u16string name = RememberedListFileName(modDir);
    return folder + AsWide(name.c_str());
}

// At most one byte more than any remembered list: a larger file is known as one without reading it all.
bool Recall(const std::u16string& modDir, std::vector<unsigned char>& file) {
    return ReadWholeFile(FilePath(ListFolder(), modDir), MAX_REMEMBERED_FILE_BYTES, file);
}

void Remember(const std::u16string& modDir, const std::vector<unsigned char>& file) {
    std::wstring folder = ListFolder();
    std::wstring path = FilePath(folder, modDir);
    if (path.empty()) {
        return;
    }
    CreateDirectoryW(folder.c_str(), nullptr);
    ReplaceFileWhole(path, file); // when it fails, the old list stays as it was
}

} // namespace

std::u16string RememberedListFolder() {
    return AsU16(ListFolder().c_str());
}

RememberedStore RememberedListFiles() {
    return RememberedStore{Recall, Remember};
}
