// The test prefix's drive G:, a fixed drive on an empty folder, where tests put stand-ins for the game (a program
// of ours that records how it was started) for the program's drive search to find.
#pragma once

#include <windows.h>

#include <string>

constexpr const wchar_t* GAME_DRIVE = L"G:\\";

// Whether the prefix is as the tests need it: G: a fixed drive, Z: (the whole Linux file system) not one.
bool GameDriveReady();

// Removes everything on G:; false when something is left after 5 s of trying (a game still running there).
bool ClearGameDrive();

// Creates the folders of `path` (a path on G:) and an empty file there.
bool MakeFile(const std::wstring& path);
// Creates the folders of `path` and copies the stand-in game there.
bool PutTestGame(const std::wstring& path);

// Makes `link` (a path on G:) a symbolic link to the folder `target` (relative to the link's folder, or absolute),
// and waits until it is listed as a reparse point. Wine 8's CreateSymbolicLinkW makes nothing, so under Wine the
// link is made by the Linux `ln` in the folder; Wine lists such a link to a folder with the reparse point attribute,
// as Windows lists a symbolic link or a junction.
bool MakeFolderLink(const std::wstring& link, const std::wstring& target);

// What the stand-in game started in `folder` recorded: its command line and its current directory; both empty when
// nothing was recorded within the time.
struct LaunchRecord {
    std::wstring commandLine;
    std::wstring currentDir;
};
LaunchRecord AwaitLaunchRecord(const std::wstring& folder, DWORD timeoutMs = 10000);
