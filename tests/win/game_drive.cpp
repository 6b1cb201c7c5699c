#include "game_drive.h"

namespace {

std::wstring OwnFolder() {
    wchar_t path[MAX_PATH];
    DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder(path, length);
    return folder.substr(0, folder.find_last_of(L'\\') + 1);
}

bool UnderWine() {
    HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return ntdll && GetProcAddress(ntdll, "wine_get_version");
}

// Runs a Linux program in `folder` (a Wine process can start one); whatever it does is checked by its effect.
bool RunLinuxCommand(const std::wstring& folder, const std::wstring& program, const std::wstring& arguments) {
    std::wstring commandLine = L"Z:" + program;
    for (wchar_t& c : commandLine) {
        c = c == L'/' ? L'\\' : c;
    }
    commandLine += L" " + arguments;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started{};
    if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(), &startup,
                        &started)) {
        return false;
    }
    // A Linux program gets no process handle to wait on under Wine.
    if (started.hProcess) {
        CloseHandle(started.hProcess);
    }
    if (started.hThread) {
        CloseHandle(started.hThread);
    }
    return true;
}

bool IsReparsePoint(const std::wstring& path) {
    DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

bool AwaitReparsePoint(const std::wstring& path, DWORD timeoutMs = 5000) {
    DWORD start = GetTickCount();
    while (!IsReparsePoint(path)) {
        if (GetTickCount() - start >= timeoutMs) {
            return false;
        }
        Sleep(10);
    }
    return true;
}

// A link is removed without entering it. What Wine cannot remove, Linux's rm can (ClearGameDrive checks the effect).
void RemoveLink(const std::wstring& folder, const std::wstring& name) {
    std::wstring path = folder + name;
    if (!RemoveDirectoryW(path.c_str()) && !DeleteFileW(path.c_str()) && UnderWine()) {
        RunLinuxCommand(folder, L"/bin/rm", L"-f \"" + name + L"\"");
    }
}

void RemoveContents(const std::wstring& folder) {
    WIN32_FIND_DATAW entry;
    HANDLE listing = FindFirstFileW((folder + L"*").c_str(), &entry);
    if (listing == INVALID_HANDLE_VALUE) {
        return;
    }
    do {
        std::wstring name = entry.cFileName;
        if (name == L"." || name == L"..") {
            continue;
        }
        std::wstring path = folder + name;
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) {
            RemoveLink(folder, name);
        } else if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            RemoveContents(path + L"\\");
            RemoveDirectoryW(path.c_str());
        } else {
            SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
            DeleteFileW(path.c_str());
        }
    } while (FindNextFileW(listing, &entry));
    FindClose(listing);
}

bool MakeFolders(const std::wstring& path) {
    for (size_t slash = path.find(L'\\', 3); slash != std::wstring::npos; slash = path.find(L'\\', slash + 1)) {
        std::wstring folder = path.substr(0, slash);
        if (!CreateDirectoryW(folder.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) {
            return false;
        }
    }
    return true;
}

} // namespace

bool GameDriveReady() {
    return GetDriveTypeW(GAME_DRIVE) == DRIVE_FIXED && GetDriveTypeW(L"Z:\\") != DRIVE_FIXED;
}

bool ClearGameDrive() {
    DWORD start = GetTickCount();
    for (;;) {
        RemoveContents(GAME_DRIVE);
        WIN32_FIND_DATAW entry;
        HANDLE listing = FindFirstFileW((std::wstring(GAME_DRIVE) + L"*").c_str(), &entry);
        if (listing == INVALID_HANDLE_VALUE) {
            return true;
        }
        FindClose(listing);
        if (GetTickCount() - start >= 5000) {
            return false;
        }
        Sleep(50);
    }
}

bool MakeFile(const std::wstring& path) {
    if (!MakeFolders(path)) {
        return false;
    }
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    CloseHandle(file);
    return true;
}

bool PutTestGame(const std::wstring& path) {
    return MakeFolders(path) && CopyFileW((OwnFolder() + L"skerrow_test_game.exe").c_str(), path.c_str(), FALSE);
}

bool MakeFolderLink(const std::wstring& link, const std::wstring& target) {
    if (!MakeFolders(link)) {
        return false;
    }
    if (!CreateSymbolicLinkW(link.c_str(), target.c_str(),
                             SYMBOLIC_LINK_FLAG_DIRECTORY | SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE) &&
        !UnderWine()) {
        return false;
    }
    if (!IsReparsePoint(link) && UnderWine()) {
        size_t slash = link.find_last_of(L'\\');
        std::wstring folder = link.substr(0, slash + 1);
        std::wstring unixTarget = target;
        for (wchar_t& c : unixTarget) {
            c = c == L'\\' ? L'/' : c;
        }
        RunLinuxCommand(folder, L"/bin/ln", L"-s \"" + unixTarget + L"\" \"" + link.substr(slash + 1) + L"\"");
    }
    return AwaitReparsePoint(link);
}

LaunchRecord AwaitLaunchRecord(const std::wstring& folder, DWORD timeoutMs) {
    std::wstring path = folder + L"launch-record.txt";
    DWORD start = GetTickCount();
    while (GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES) {
        if (GetTickCount() - start >= timeoutMs) {
            return {};
        }
        Sleep(20);
    }
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return {};
    }
    wchar_t text[2048];
    DWORD bytes = 0;
    ReadFile(file, text, sizeof text, &bytes, nullptr);
    CloseHandle(file);
    std::wstring whole(text, bytes / sizeof(wchar_t));
    size_t firstEnd = whole.find(L'\n');
    size_t secondEnd = whole.find(L'\n', firstEnd + 1);
    if (firstEnd == std::wstring::npos || secondEnd == std::wstring::npos) {
        return {};
    }
    return {whole.substr(0, firstEnd), whole.substr(firstEnd + 1, secondEnd - firstEnd - 1)};
}
