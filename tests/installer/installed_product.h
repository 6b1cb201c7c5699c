// What the system knows of an installed product, read as Windows shows it to a player: Windows Installer's own
// records, the Apps & features entries, shortcuts, known folders. For the installer's tests under Wine.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

// The properties of an MSI that say which product and version it installs, read from its Property table; empty
// texts when the file cannot be opened.
struct MsiPackage {
    std::wstring productCode;
    std::wstring upgradeCode;
    std::wstring version;
};
MsiPackage ReadMsiPackage(const std::wstring& path);

// The product codes Windows Installer has installed for the user under an upgrade code.
std::vector<std::wstring> InstalledProducts(const std::wstring& upgradeCode);

// One entry of Apps & features (an Uninstall key, in HKCU or HKLM).
struct AppsEntry {
    std::wstring key;
    std::wstring displayVersion;
    std::wstring publisher;
    std::wstring uninstallString;
};
// Every entry whose DisplayName is the name.
std::vector<AppsEntry> AppsEntriesNamed(const std::wstring& displayName);

// A shortcut's target and working folder; empty texts when the file is no shortcut.
struct ShortcutInfo {
    std::wstring target;
    std::wstring workingFolder;
};
ShortcutInfo ReadShortcut(const std::wstring& path);

// A known folder's path without a trailing backslash (FOLDERID_LocalAppData, FOLDERID_Programs...).
std::wstring KnownFolder(const GUID& folder);

// Runs a command line to its end: its exit code, or STILL_ACTIVE when it did not end in time (it is then ended).
DWORD RunToEnd(const std::wstring& commandLine, DWORD timeoutMs);

bool FileExists(const std::wstring& path);
bool FolderExists(const std::wstring& path);
// The whole file as bytes, or empty.
std::string ReadWholeFile(const std::wstring& path);
// Case-insensitive comparison of two paths, as Windows compares them.
bool SamePath(const std::wstring& a, const std::wstring& b);
