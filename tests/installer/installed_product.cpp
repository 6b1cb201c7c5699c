#include "installed_product.h"

#include <msi.h>
#include <msiquery.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <fstream>
#include <iterator>

namespace {

std::wstring PropertyOf(MSIHANDLE database, const wchar_t* name) {
    std::wstring query = L"SELECT `Value` FROM `Property` WHERE `Property` = '" + std::wstring(name) + L"'";
    MSIHANDLE view = 0;
    MSIHANDLE record = 0;
    std::wstring value;
    if (MsiDatabaseOpenViewW(database, query.c_str(), &view) == ERROR_SUCCESS && MsiViewExecute(view, 0) == 0 &&
        MsiViewFetch(view, &record) == ERROR_SUCCESS) {
        wchar_t text[256] = L"";
        DWORD length = 256;
        if (MsiRecordGetStringW(record, 1, text, &length) == ERROR_SUCCESS) {
            value = text;
        }
        MsiCloseHandle(record);
    }
    if (view) {
        MsiCloseHandle(view);
    }
    return value;
}

std::wstring StringValue(HKEY key, const wchar_t* name) {
    wchar_t text[1024] = L"";
    DWORD bytes = sizeof text;
    // Unexpanded: Windows Installer writes the uninstall command as REG_EXPAND_SZ.
    if (RegGetValueW(key, nullptr, name, RRF_RT_REG_SZ | RRF_RT_REG_EXPAND_SZ | RRF_NOEXPAND, nullptr, text, &bytes) !=
        ERROR_SUCCESS) {
        return L"";
    }
    return text;
}

void CollectEntries(HKEY root, const wchar_t* rootName, const std::wstring& displayName,
                    std::vector<AppsEntry>& entries) {
    HKEY uninstall = nullptr;
    if (RegOpenKeyExW(root, L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall", 0,
                      KEY_READ | KEY_WOW64_64KEY, &uninstall) != ERROR_SUCCESS) {
        return;
    }
    wchar_t name[256];
    for (DWORD index = 0;; ++index) {
        DWORD length = 256;
        if (RegEnumKeyExW(uninstall, index, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) {
            break;
        }
        HKEY entry = nullptr;
        if (RegOpenKeyExW(uninstall, name, 0, KEY_READ | KEY_WOW64_64KEY, &entry) != ERROR_SUCCESS) {
            continue;
        }
        if (StringValue(entry, L"DisplayName") == displayName) {
            entries.push_back({std::wstring(rootName) + L"\\...\\Uninstall\\" + name, StringValue(entry, L"DisplayVersion"),
                               StringValue(entry, L"Publisher"), StringValue(entry, L"UninstallString")});
        }
        RegCloseKey(entry);
    }
    RegCloseKey(uninstall);
}

} // namespace

MsiPackage ReadMsiPackage(const std::wstring& path) {
    MSIHANDLE database = 0;
    if (MsiOpenDatabaseW(path.c_str(), MSIDBOPEN_READONLY, &database) != ERROR_SUCCESS) {
        return {};
    }
    MsiPackage package{PropertyOf(database, L"ProductCode"), PropertyOf(database, L"UpgradeCode"),
                       PropertyOf(database, L"ProductVersion")};
    MsiCloseHandle(database);
    return package;
}

std::vector<std::wstring> InstalledProducts(const std::wstring& upgradeCode) {
    std::vector<std::wstring> products;
    wchar_t product[39];
    for (DWORD index = 0; MsiEnumRelatedProductsW(upgradeCode.c_str(), 0, index, product) == ERROR_SUCCESS; ++index) {
        products.push_back(product);
    }
    return products;
}

std::vector<AppsEntry> AppsEntriesNamed(const std::wstring& displayName) {
    std::vector<AppsEntry> entries;
    CollectEntries(HKEY_CURRENT_USER, L"HKCU", displayName, entries);
    CollectEntries(HKEY_LOCAL_MACHINE, L"HKLM", displayName, entries);
    return entries;
}

ShortcutInfo ReadShortcut(const std::wstring& path) {
    ShortcutInfo info;
    IShellLinkW* link = nullptr;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                reinterpret_cast<void**>(&link)))) {
        return info;
    }
    IPersistFile* file = nullptr;
    if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
        if (SUCCEEDED(file->Load(path.c_str(), STGM_READ))) {
            wchar_t text[MAX_PATH] = L"";
            if (SUCCEEDED(link->GetPath(text, MAX_PATH, nullptr, SLGP_RAWPATH))) {
                info.target = text;
            }
            text[0] = L'\0';
            if (SUCCEEDED(link->GetWorkingDirectory(text, MAX_PATH))) {
                info.workingFolder = text;
            }
        }
        file->Release();
    }
    link->Release();
    return info;
}

std::wstring KnownFolder(const GUID& folder) {
    wchar_t* path = nullptr;
    std::wstring result;
    if (SUCCEEDED(SHGetKnownFolderPath(folder, 0, nullptr, &path))) {
        result = path;
    }
    CoTaskMemFree(path);
    return result;
}

DWORD RunToEnd(const std::wstring& commandLine, DWORD timeoutMs) {
    std::wstring line = commandLine;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
        return GetLastError();
    }
    DWORD code = STILL_ACTIVE;
    if (WaitForSingleObject(process.hProcess, timeoutMs) == WAIT_OBJECT_0) {
        GetExitCodeProcess(process.hProcess, &code);
    } else {
        TerminateProcess(process.hProcess, 99);
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return code;
}

bool FileExists(const std::wstring& path) {
    DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool FolderExists(const std::wstring& path) {
    DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::string ReadWholeFile(const std::wstring& path) {
    std::ifstream in(path.c_str(), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool SamePath(const std::wstring& a, const std::wstring& b) {
    return CompareStringOrdinal(a.c_str(), -1, b.c_str(), -1, TRUE) == CSTR_EQUAL;
}
