#include "windows/launch/game_search.h"

#include <strsafe.h>

#include <atomic>
#include <memory>
#include <vector>

#include "core/text/format.h"
#include "core/worker/waking_channel.h"
#include "core/worker/worker.h"
#include "windows/launch/game_locator.h"
#include "windows/state/app_messages.h"
#include "windows/views/status_bar.h"

namespace {

constexpr size_t QUESTION_TEXT_SIZE = 512;

// One step of the walk as a worker reports it: DriveStarted with the drive entered, or the step it stopped at.
struct SearchReport {
    WalkStep step;
    size_t drive;
};

// What the window and the search's worker share. The walk is the worker's while one runs and the window's between
// workers: the channel's lock hands it over with the worker's last report.
struct SearchWork {
    SearchWork(std::wstring gameExe, std::function<void()> wake)
        : walk(std::move(gameExe), FixedDriveRoots()), channel(std::move(wake)) {}

    GameTreeWalk walk;
    std::atomic<bool> stop{false};
    std::atomic<bool> atFind{false}; // the last worker stopped at a find
    WakingChannel<std::vector<SearchReport>> channel;
};

// Walks until the next find or the walk's end, reporting each drive it enters on the way.
void Walk(const std::shared_ptr<SearchWork>& work) {
    for (;;) {
        WalkStep step = work->walk.Next(work->stop);
        size_t drive = work->walk.DriveIndex();
        if (step == WalkStep::Found) {
            work->atFind = true;
        }
        work->channel.Push([&](std::vector<SearchReport>& reports) { reports.push_back({step, drive}); }, true);
        if (step != WalkStep::DriveStarted) {
            return;
        }
    }
}

bool StartWalking(const std::shared_ptr<SearchWork>& work, int* error) {
    work->atFind = false;
    return StartWorker([work] { Walk(work); }, error);
}

} // namespace

// The window's side of a running search.
struct GameSearch {
    std::shared_ptr<SearchWork> work;
    wchar_t gameExe[PATH_TEXT_SIZE];
    wchar_t address[JOIN_ADDRESS_SIZE];
};

namespace {

bool AskAboutFind(HWND dialog, const wchar_t* gameExe, const wchar_t* directory) {
    wchar_t question[QUESTION_TEXT_SIZE];
    FormatInto(question, QUESTION_TEXT_SIZE, L"Skerrow found '{}' in:\r\n\t{}\r\nIs this the one you wish to use?",
               gameExe, directory);
    return MessageBoxW(dialog, question, L"Quake II Location", MB_YESNO | MB_ICONQUESTION) == IDYES;
}

void ReportNoWorker(StatusLine& status, const wchar_t* gameExe, int error) {
    SetStatus(status, fmt::format(L"Couldn't start the search for {}: error {}", gameExe, error).c_str());
}

// The search is over: the window forgets it.
bool EndSearch(GameSearchHost host, GameSearchOutcome outcome, const wchar_t* gameDir, GameSearchEnd& end) {
    end.outcome = outcome;
    StringCchCopyW(end.gameDir, PATH_TEXT_SIZE, gameDir);
    StringCchCopyW(end.address, JOIN_ADDRESS_SIZE, host.search->address);
    host.search.reset();
    return true;
}

} // namespace

bool StartGameSearch(GameSearchHost host, const wchar_t* gameExe, const wchar_t* address) {
    if (host.search) {
        return false;
    }
    auto search = std::make_shared<GameSearch>();
    HWND dialog = host.dialog;
    search->work =
        std::make_shared<SearchWork>(gameExe, [dialog] { PostMessageW(dialog, WM_APP_GAME_SEARCH_REPORT, 0, 0); });
    StringCchCopyW(search->gameExe, PATH_TEXT_SIZE, gameExe);
    StringCchCopyW(search->address, JOIN_ADDRESS_SIZE, address);
    int error = 0;
    if (!StartWalking(search->work, &error)) {
        ReportNoWorker(host.status, gameExe, error);
        return false;
    }
    host.search = std::move(search);
    return true;
}

bool StopGameSearch(const std::shared_ptr<GameSearch>& search) {
    if (!search) {
        return false;
    }
    search->work->stop = true;
    return true;
}

bool GameSearchStoppedAtFind(const std::shared_ptr<GameSearch>& search) {
    return search && search->work->atFind;
}

bool TakeGameSearchReports(GameSearchHost host, GameSearchEnd& end) {
    // Kept here: the question box lets messages through, and the window may end the search meanwhile.
    std::shared_ptr<GameSearch> search = host.search;
    if (!search) {
        return false;
    }
    SearchWork& work = *search->work;
    std::vector<SearchReport> reports = work.channel.Take([](std::vector<SearchReport>& queue, bool& found) {
        std::vector<SearchReport> taken;
        taken.swap(queue);
        found = !taken.empty();
        return taken;
    });
    for (const SearchReport& report : reports) {
        switch (report.step) {
        case WalkStep::DriveStarted:
            SetStatus(host.status,
                      fmt::format(L"Trying to find {} on {}...", static_cast<const wchar_t*>(search->gameExe),
                                  work.walk.Root(report.drive))
                          .c_str());
            break;
        case WalkStep::Found: {
            if (work.stop) {
                return EndSearch(host, GameSearchOutcome::Stopped, L"", end);
            }
            std::wstring directory = work.walk.FoundDirectory();
            bool accepted = AskAboutFind(host.dialog, search->gameExe, directory.c_str());
            if (host.search != search) {
                return false; // the window has ended it
            }
            if (accepted) {
                return EndSearch(host, GameSearchOutcome::Accepted, directory.c_str(), end);
            }
            int error = 0;
            if (work.stop) {
                return EndSearch(host, GameSearchOutcome::Stopped, L"", end);
            }
            if (!StartWalking(search->work, &error)) {
                ReportNoWorker(host.status, search->gameExe, error);
                return EndSearch(host, GameSearchOutcome::Failed, L"", end);
            }
            break;
        }
        case WalkStep::Ended:
            return EndSearch(host, GameSearchOutcome::NotFound, L"", end);
        case WalkStep::Stopped:
            return EndSearch(host, GameSearchOutcome::Stopped, L"", end);
        }
    }
    return false;
}

void EndGameSearchForExit(std::shared_ptr<GameSearch>& search) {
    if (search) {
        search->work->stop = true;
        search->work->channel.Detach();
        search.reset();
    }
}
