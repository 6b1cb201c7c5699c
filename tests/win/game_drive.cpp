#include "game_drive.h"

namespace {

std::wstring OwnFolder() {
    wchar_t path[MAX_PATH];
    DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder(path, length);
    return folder.substr(0, folder.find_last_of(L'\\') + 1);
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
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
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
