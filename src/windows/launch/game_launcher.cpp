#include "windows/launch/game_launcher.h"

#include <strsafe.h>

#include <ctime>

#include "core/settings/recent_servers.h"
#include "core/settings/recent_store.h"
#include "core/text/address.h"
#include "core/text/format.h"
#include "platform/win32/wide.h"
#include "windows/launch/game_search.h"
#include "windows/views/status_bar.h"

namespace {

// The joined server goes first in the history, stored at once: the program ends next.
void RememberJoin(ServerLists& lists, const wchar_t* address) {
    uint32_t addr = 0;
    uint16_t port = 0;
    if (ParseServerAddress(AsU16(address), &addr, &port) &&
        NoteJoin(&lists.recent, addr, port, static_cast<int64_t>(std::time(nullptr)))) {
        SaveRecentServers(lists.recent);
    }
}

constexpr size_t COMMAND_LINE_SIZE = 512;
constexpr size_t MESSAGE_TEXT_SIZE = 512;

void ReportGameNotFound(JoinHost host) {
    SetStatus(host.status, L"Couldn't find a Quake II executable!");
    MessageBoxW(host.dialog,
                L"Unable to find your Quake II executable!\r\n\r\nYou can't join a server until you have specified "
                L"where Quake II is on your system.\n\nTry setting the executable name manually in the config if you "
                L"have a different executable name.",
                L"Can't find Quake II", MB_OK | MB_ICONWARNING);
}

void ReportExecutableMissing(JoinHost host, const wchar_t* executablePath) {
    SetStatus(host.status, fmt::format(L"Couldn't find {}! Check your config.", AsWide(host.config.gameExe)).c_str());
    wchar_t text[MESSAGE_TEXT_SIZE];
    FormatInto(text, MESSAGE_TEXT_SIZE, L"Error: Couldn't find a Quake II executable:\r\n\r\n\t{}: File Not Found",
               executablePath);
    MessageBoxW(host.dialog, text, L"Couldn't find Quake II", MB_OK | MB_ICONWARNING);
}

// The program stays when the game cannot be started, so the user is not left with neither.
void ReportStartFailure(JoinHost host, const wchar_t* executablePath, DWORD error) {
    SetStatus(host.status, fmt::format(L"Couldn't start {}!", AsWide(host.config.gameExe)).c_str());
    wchar_t reason[MESSAGE_TEXT_SIZE] = L"";
    DWORD length = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0, reason,
                                  MESSAGE_TEXT_SIZE, nullptr);
    // System texts end in a line break.
    while (length > 0 && (reason[length - 1] == L'\n' || reason[length - 1] == L'\r')) {
        reason[--length] = 0;
    }
    wchar_t text[MESSAGE_TEXT_SIZE];
    FormatInto(text, MESSAGE_TEXT_SIZE, L"Error: Couldn't start Quake II:\r\n\r\n\t{}: {}", executablePath,
               static_cast<const wchar_t*>(reason));
    MessageBoxW(host.dialog, text, L"Couldn't start Quake II", MB_OK | MB_ICONWARNING);
}

// Starts the game in gameDir connecting to `address`, and ends the program.
void StartGame(JoinHost host, const wchar_t* address) {
    SetStatus(host.status, L"Starting Quake II...");
    wchar_t workingDir[PATH_TEXT_SIZE];
    StringCchCopyW(workingDir, PATH_TEXT_SIZE, AsWide(host.config.gameDir));
    // gameDir ends in a backslash, so the path has two in a row there, which the file system takes as one.
    wchar_t executablePath[PATH_TEXT_SIZE];
    bool pathFits = FormatInto(executablePath, PATH_TEXT_SIZE, L"{}\\{}", static_cast<const wchar_t*>(workingDir),
                               AsWide(host.config.gameExe));
    // A cut path could name some other file; it is reported as not found.
    if (!pathFits || GetFileAttributesW(executablePath) == INVALID_FILE_ATTRIBUTES) {
        ReportExecutableMissing(host, executablePath);
        return;
    }

    SetCurrentDirectoryW(workingDir);
    wchar_t commandLine[COMMAND_LINE_SIZE];
    FormatInto(commandLine, COMMAND_LINE_SIZE, L"\"{}\\{}\" +connect \"{}\"", static_cast<const wchar_t*>(workingDir),
               AsWide(host.config.gameExe), address);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION game{};
    if (!CreateProcessW(nullptr, commandLine, nullptr, nullptr, FALSE, NORMAL_PRIORITY_CLASS, nullptr, workingDir,
                        &startup, &game)) {
        ReportStartFailure(host, executablePath, GetLastError());
        return;
    }
    CloseHandle(game.hThread);
    CloseHandle(game.hProcess);
    RememberJoin(host.lists, address);
    DestroyWindow(host.dialog);
}

} // namespace

void JoinServer(JoinHost host, const wchar_t* address) {
    if (host.config.gameDir[0] != 0) {
        StartGame(host, address);
    } else {
        // A second request during a search is dropped: the first one's server is joined.
        StartGameSearch(GameSearchHost{host.dialog, host.search, host.status}, AsWide(host.config.gameExe), address);
    }
}

void JoinServer(JoinHost host, uint32_t addr, uint16_t port) {
    char16_t address[32];
    FormatServerAddress(address, std::size(address), addr, port);
    JoinServer(host, AsWide(address));
}

void OnGameSearchEnded(JoinHost host, const GameSearchEnd& end) {
    switch (end.outcome) {
    case GameSearchOutcome::Accepted:
        StringCchCopyW(AsWide(host.config.gameDir), PATH_TEXT_SIZE, end.gameDir);
        StartGame(host, end.address);
        break;
    case GameSearchOutcome::NotFound:
        ReportGameNotFound(host);
        break;
    case GameSearchOutcome::Stopped:
        SetStatus(host.status, fmt::format(L"Stopped searching for {}.", AsWide(host.config.gameExe)).c_str());
        break;
    case GameSearchOutcome::Failed:
        break;
    }
}
