#include "windows/launch/game_search.h"

#include <strsafe.h>

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>

#include "resource.h"
#include "windows/launch/game_locator.h"
#include "windows/state/app_messages.h"
#include "windows/views/status_bar.h"

namespace {

constexpr const wchar_t* SEARCH_PROPERTY = L"Skerrow.GameSearch";
constexpr size_t DRIVE_ROOT_SIZE = 4;
constexpr int DRIVE_CAPACITY = 'Z' - 'C' + 1;
constexpr size_t QUESTION_TEXT_SIZE = 512;
constexpr size_t BUTTON_TEXT_SIZE = 32;
// The worker notices a stop between two directory entries; this is for one that hangs in the file system.
constexpr DWORD WORKER_END_WAIT_MS = 3000;

enum class Question { None, Posted, Shown, Answered };

// Shared by the dialog and the worker: whoever lets go last releases it, so a worker that outlives the bounded wait
// at exit never meets freed memory.
struct SearchShared {
    // The snapshot: written before the worker starts, then only read.
    HWND dialog;
    wchar_t gameExe[PATH_TEXT_SIZE];
    wchar_t drives[DRIVE_CAPACITY][DRIVE_ROOT_SIZE];
    int driveCount;

    std::atomic<bool> stop{false}; // written under `lock` too, so a waiting worker cannot miss it

    // `lock` guards the rest; it is never held across a window message or the question box.
    std::mutex lock;
    std::condition_variable answered; // the question was answered, or stop was set
    Question question = Question::None;
    bool accepted = false;
    wchar_t findDir[PATH_TEXT_SIZE] = L"";
    bool ended = false;
    GameSearchOutcome outcome = GameSearchOutcome::NotFound;
    wchar_t gameDir[PATH_TEXT_SIZE] = L"";
};

// How the controls were before the search took them: given back at its end.
struct SavedControls {
    wchar_t updateText[BUTTON_TEXT_SIZE];
    BOOL updateEnabled;
    BOOL configEnabled;
    BOOL modFilterEnabled;
};

// The dialog's side of a running search, reached through the dialog's property; user interface thread only.
struct SearchOwner {
    std::shared_ptr<SearchShared> shared;
    HANDLE worker;
    wchar_t address[JOIN_ADDRESS_SIZE];
    SavedControls controls;
};

SearchOwner* OwnerOf(HWND dialog) {
    return static_cast<SearchOwner*>(GetPropW(dialog, SEARCH_PROPERTY));
}

void RequestStop(SearchShared& shared) {
    {
        std::lock_guard<std::mutex> guard(shared.lock);
        shared.stop.store(true, std::memory_order_release);
    }
    shared.answered.notify_all();
}

// Worker: hands the find to the user interface thread and waits for the answer or a stop.
bool AskUserInterface(SearchShared& shared, const wchar_t* directory) {
    {
        std::lock_guard<std::mutex> guard(shared.lock);
        StringCchCopyW(shared.findDir, PATH_TEXT_SIZE, directory);
        shared.question = Question::Posted;
    }
    if (!PostMessageW(shared.dialog, WM_APP_GAME_SEARCH_FOUND, 0, 0)) {
        RequestStop(shared); // the dialog is gone: nobody will answer
    }
    std::unique_lock<std::mutex> guard(shared.lock);
    shared.answered.wait(guard, [&] { return shared.question == Question::Answered || shared.stop.load(); });
    bool accepted = shared.question == Question::Answered && shared.accepted;
    shared.question = Question::None;
    return accepted;
}

GameSearchOutcome SearchDrives(SearchShared& shared, wchar_t* gameDir) {
    TreeSearch tree{shared.gameExe, &shared.stop,
                    [&shared](const wchar_t* directory) { return AskUserInterface(shared, directory); }};
    for (int drive = 0; drive < shared.driveCount; ++drive) {
        if (shared.stop.load() || !PostMessageW(shared.dialog, WM_APP_GAME_SEARCH_DRIVE, 0, drive)) {
            return GameSearchOutcome::Stopped;
        }
        switch (FindGameExecutable(tree, shared.drives[drive], gameDir)) {
        case TreeSearchEnd::Accepted:
            return GameSearchOutcome::Accepted;
        case TreeSearchEnd::Stopped:
            return GameSearchOutcome::Stopped;
        case TreeSearchEnd::NotFound:
            break;
        }
    }
    return GameSearchOutcome::NotFound;
}

DWORD WINAPI SearchThread(void* parameter) {
    std::unique_ptr<std::shared_ptr<SearchShared>> share(static_cast<std::shared_ptr<SearchShared>*>(parameter));
    SearchShared& shared = **share;
    wchar_t gameDir[PATH_TEXT_SIZE] = L"";
    GameSearchOutcome outcome = SearchDrives(shared, gameDir);
    {
        std::lock_guard<std::mutex> guard(shared.lock);
        shared.outcome = outcome;
        StringCchCopyW(shared.gameDir, PATH_TEXT_SIZE, gameDir);
        shared.ended = true;
    }
    PostMessageW(shared.dialog, WM_APP_GAME_SEARCH_END, 0, 0);
    return 0;
}

// Fixed drives C to Z, in order; A and B and other kinds of drive are never searched.
void ListFixedDrives(SearchShared& shared) {
    shared.driveCount = 0;
    for (wchar_t letter = L'C'; letter <= L'Z'; ++letter) {
        wchar_t* root = shared.drives[shared.driveCount];
        StringCchPrintfW(root, DRIVE_ROOT_SIZE, L"%c:\\", letter);
        if (GetDriveTypeW(root) == DRIVE_FIXED) {
            ++shared.driveCount;
        }
    }
}

bool AskAboutFind(HWND dialog, const wchar_t* gameExe, const wchar_t* directory) {
    wchar_t question[QUESTION_TEXT_SIZE];
    StringCchPrintfW(question, QUESTION_TEXT_SIZE,
                     L"Skerrow found '%s' in:\r\n\t%s\r\nIs this the one you wish to use?", gameExe, directory);
    return MessageBoxW(dialog, question, L"Quake II Location", MB_YESNO | MB_ICONQUESTION) == IDYES;
}

// Update becomes the search's Stop button; Config and the mod filter box, which would change what the search and
// its join use or start an update run, wait for its end.
void TakeControls(HWND dialog, SavedControls& saved) {
    GetDlgItemTextW(dialog, IDC_UPDATE, saved.updateText, BUTTON_TEXT_SIZE);
    saved.updateEnabled = IsWindowEnabled(GetDlgItem(dialog, IDC_UPDATE));
    saved.configEnabled = IsWindowEnabled(GetDlgItem(dialog, IDC_CONFIG));
    saved.modFilterEnabled = IsWindowEnabled(GetDlgItem(dialog, IDC_MOD_FILTER));
    SetDlgItemTextW(dialog, IDC_UPDATE, L"Stop");
    EnableWindow(GetDlgItem(dialog, IDC_UPDATE), TRUE);
    EnableWindow(GetDlgItem(dialog, IDC_CONFIG), FALSE);
    EnableWindow(GetDlgItem(dialog, IDC_MOD_FILTER), FALSE);
}

void GiveBackControls(HWND dialog, const SavedControls& saved) {
    SetDlgItemTextW(dialog, IDC_UPDATE, saved.updateText);
    EnableWindow(GetDlgItem(dialog, IDC_UPDATE), saved.updateEnabled);
    EnableWindow(GetDlgItem(dialog, IDC_CONFIG), saved.configEnabled);
    EnableWindow(GetDlgItem(dialog, IDC_MOD_FILTER), saved.modFilterEnabled);
}

void ReportNoWorker(const wchar_t* gameExe, DWORD error) {
    SetStatus(L"Couldn't start the search for %s: error %lu", gameExe, error);
}

// Waits (bounded) for the worker, gives the controls back and forgets the search.
void ReleaseSearch(HWND dialog, SearchOwner* owner) {
    WaitForSingleObject(owner->worker, WORKER_END_WAIT_MS);
    CloseHandle(owner->worker);
    GiveBackControls(dialog, owner->controls);
    RemovePropW(dialog, SEARCH_PROPERTY);
    delete owner;
}

} // namespace

bool StartGameSearch(HWND dialog, const wchar_t* gameExe, const wchar_t* address) {
    if (OwnerOf(dialog)) {
        return false;
    }
    auto owner = std::make_unique<SearchOwner>();
    owner->shared = std::make_shared<SearchShared>();
    SearchShared& shared = *owner->shared;
    shared.dialog = dialog;
    StringCchCopyW(shared.gameExe, PATH_TEXT_SIZE, gameExe);
    ListFixedDrives(shared);
    StringCchCopyW(owner->address, JOIN_ADDRESS_SIZE, address);

    if (!SetPropW(dialog, SEARCH_PROPERTY, owner.get())) {
        ReportNoWorker(gameExe, GetLastError());
        return false;
    }
    auto workerShare = std::make_unique<std::shared_ptr<SearchShared>>(owner->shared);
    owner->worker = CreateThread(nullptr, 0, SearchThread, workerShare.get(), 0, nullptr);
    if (!owner->worker) {
        ReportNoWorker(gameExe, GetLastError());
        RemovePropW(dialog, SEARCH_PROPERTY);
        return false;
    }
    workerShare.release(); // the worker's now
    TakeControls(dialog, owner.release()->controls);
    return true;
}

bool StopGameSearch(HWND dialog) {
    SearchOwner* owner = OwnerOf(dialog);
    if (!owner) {
        return false;
    }
    RequestStop(*owner->shared);
    return true;
}

bool GameSearchRunning(HWND dialog) {
    return OwnerOf(dialog) != nullptr;
}

void OnGameSearchDrive(HWND dialog, LPARAM drive) {
    SearchOwner* owner = OwnerOf(dialog);
    if (owner && drive >= 0 && drive < owner->shared->driveCount) {
        SetStatus(L"Trying to find %s on %s...", owner->shared->gameExe, owner->shared->drives[drive]);
    }
}

void OnGameSearchFound(HWND dialog) {
    SearchOwner* owner = OwnerOf(dialog);
    if (!owner) {
        return;
    }
    // Kept here: the dialog, and with it the owner, may end while the question is up.
    std::shared_ptr<SearchShared> shared = owner->shared;
    wchar_t directory[PATH_TEXT_SIZE];
    {
        std::lock_guard<std::mutex> guard(shared->lock);
        if (shared->question != Question::Posted || shared->stop.load()) {
            return;
        }
        shared->question = Question::Shown;
        StringCchCopyW(directory, PATH_TEXT_SIZE, shared->findDir);
    }
    bool accepted = AskAboutFind(dialog, shared->gameExe, directory);
    {
        std::lock_guard<std::mutex> guard(shared->lock);
        shared->accepted = accepted;
        shared->question = Question::Answered;
    }
    shared->answered.notify_all();
}

bool TakeGameSearchEnd(HWND dialog, GameSearchEnd& end) {
    SearchOwner* owner = OwnerOf(dialog);
    if (!owner) {
        return false;
    }
    {
        std::lock_guard<std::mutex> guard(owner->shared->lock);
        if (!owner->shared->ended) {
            return false;
        }
        end.outcome = owner->shared->outcome;
        StringCchCopyW(end.gameDir, PATH_TEXT_SIZE, owner->shared->gameDir);
    }
    StringCchCopyW(end.address, JOIN_ADDRESS_SIZE, owner->address);
    ReleaseSearch(dialog, owner);
    return true;
}

void KeepSearchControls(HWND dialog) {
    if (SearchOwner* owner = OwnerOf(dialog)) {
        TakeControls(dialog, owner->controls);
    }
}

void EndGameSearchForExit(HWND dialog) {
    if (SearchOwner* owner = OwnerOf(dialog)) {
        RequestStop(*owner->shared);
        ReleaseSearch(dialog, owner);
    }
}
