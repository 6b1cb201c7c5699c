// Answering the message boxes and popup menus that the code under test shows on this thread: a watcher thread finds
// them, records what they show and answers as a user would, while the test thread sits in their modal loop.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

// Waits until the window is destroyed or hidden; false when it is still shown after the time.
bool AwaitWindowGone(HWND window, DWORD timeoutMs = 5000);

// A key pressed and released, as the keyboard posts it to the window's thread.
void PostKey(HWND window, WPARAM key);

// A watcher thread that calls `step` every 10 ms until it is destroyed. A step records a popup before answering it,
// so the test thread, whose call returns once the popup has gone, always finds the record.
template <typename Seen> class PopupWatcher {
public:
    using Step = std::function<void(PopupWatcher&)>;

    explicit PopupWatcher(Step step) : step_(std::move(step)) {
        InitializeCriticalSection(&lock_);
        stop_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        thread_ = CreateThread(nullptr, 0, Watch, this, 0, nullptr);
    }
    ~PopupWatcher() {
        SetEvent(stop_);
        WaitForSingleObject(thread_, INFINITE);
        CloseHandle(thread_);
        CloseHandle(stop_);
        DeleteCriticalSection(&lock_);
    }
    PopupWatcher(const PopupWatcher&) = delete;
    PopupWatcher& operator=(const PopupWatcher&) = delete;

    std::vector<Seen> Shown() {
        EnterCriticalSection(&lock_);
        std::vector<Seen> shown = shown_;
        LeaveCriticalSection(&lock_);
        return shown;
    }
    // Records a popup; returns how many were recorded before it.
    size_t Record(Seen seen) {
        EnterCriticalSection(&lock_);
        shown_.push_back(std::move(seen));
        size_t before = shown_.size() - 1;
        LeaveCriticalSection(&lock_);
        return before;
    }

private:
    static DWORD WINAPI Watch(void* self) {
        auto* watcher = static_cast<PopupWatcher*>(self);
        while (WaitForSingleObject(watcher->stop_, 10) == WAIT_TIMEOUT) {
            watcher->step_(*watcher);
        }
        return 0;
    }

    Step step_;
    std::vector<Seen> shown_;
    CRITICAL_SECTION lock_;
    HANDLE stop_;
    HANDLE thread_;
};

struct ShownBox {
    std::wstring caption;
    std::wstring text;
};

// Answers this process's message boxes in order with `answers` (IDYES, IDNO, IDOK); any box beyond them gets No,
// or OK when it has no No button.
class MessageBoxAnswerer : public PopupWatcher<ShownBox> {
public:
    explicit MessageBoxAnswerer(std::vector<int> answers = {});
};

struct ShownMenu {
    std::vector<std::pair<std::wstring, UINT>> items; // text and command, top to bottom; a separator is {"", 0}
    std::vector<std::wstring> greyed;                 // the texts of the greyed items
    POINT topLeft;                                    // of the menu window, in screen coordinates
};

// Chooses the item at `position` (0 first, separators counted; -1 dismisses the menu) in each popup menu this process
// shows, with the keyboard. A greyed item is highlighted too, and Enter on it closes the menu with no command. Given
// `picture`, the screen is first written there as a bitmap, with the menu open, for people to look at.
class MenuChooser : public PopupWatcher<ShownMenu> {
public:
    explicit MenuChooser(int position, const wchar_t* picture = nullptr);
};
