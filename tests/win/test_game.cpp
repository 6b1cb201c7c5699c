// A stand-in for the game: records the command line it was started with and its current directory, as UTF-16
// lines in "launch-record.txt" beside its own executable, and ends.
#include <windows.h>

#include <string>

int wmain() {
    wchar_t path[MAX_PATH];
    DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring record = std::wstring(path, length);
    record.resize(record.find_last_of(L'\\') + 1);
    record += L"launch-record.txt";

    wchar_t currentDir[MAX_PATH];
    DWORD dirLength = GetCurrentDirectoryW(MAX_PATH, currentDir);
    std::wstring text = std::wstring(GetCommandLineW()) + L"\n" + std::wstring(currentDir, dirLength) + L"\n";

    // Written under a temporary name and renamed, so a reader never sees half a record.
    std::wstring partial = record + L".part";
    HANDLE file =
        CreateFileW(partial.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return 1;
    }
    DWORD written = 0;
    BOOL ok = WriteFile(file, text.data(), static_cast<DWORD>(text.size() * sizeof(wchar_t)), &written, nullptr);
    CloseHandle(file);
    return ok && MoveFileExW(partial.c_str(), record.c_str(), MOVEFILE_REPLACE_EXISTING) ? 0 : 1;
}
