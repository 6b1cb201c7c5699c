// Helpers for driving the real main dialog in-process under Wine.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "windows/app/main_window_state.h"

// A scenario whose master list is empty: the start-up run ends at once with 0 of 0 servers.
constexpr const char* EMPTY_MASTER = "[master]\n";

// Loads the scenario into the simulator, removes the settings key (a first start), creates the main dialog as the
// program does and waits for the start-up run and the filter download to end; returns the dialog (null on failure
// or when either does not end).
HWND OpenMainWindow(const char* scenario = EMPTY_MASTER);
// The same, keeping the settings that the last closed window saved: the program's next start.
HWND ReopenMainWindow(const char* scenario = EMPTY_MASTER);

// Removes the program's settings key.
void DeleteSettings();
// Deletes the remembered server lists, so a run whose masters fail ends as it did before any run remembered one.
void ForgetRememberedLists();
// The strings as a multi-string value holds them: each terminated, then the list's terminator.
std::wstring MultiText(const std::vector<std::wstring>& strings);
// A stored multi-string value of the settings as its text, terminators included; "(none)" when there is no such
// value.
std::wstring StoredMultiText(const wchar_t* name);

// Aborts a run in progress and waits for its end, destroys the main dialog if it still exists (and with it its
// state) and swallows the quit message that its end posts, returning that message's exit code (-1 if none came).
int CloseMainWindow();

// The state of the main dialog the test opened while it exists; else a state of the tests' own, as a window holds
// it before its start-up, made afresh after each CloseMainWindow.
MainWindowState& App();

// A test with the main dialog open on a first start against the empty master list, and closed after it.
class OpenWindowTest : public testing::Test {
protected:
    void SetUp() override { ASSERT_NE(OpenMainWindow(), nullptr); }
    void TearDown() override { CloseMainWindow(); }
};

// Dispatches this thread's messages until the condition holds or the time is up; returns the condition.
bool PumpUntil(const std::function<bool()>& condition, DWORD timeoutMs = 5000);

// Clicks Update (or Abort) as a user does.
void ClickUpdate();
// Waits, pumping, until no update run is in progress.
bool WaitForIdle(DWORD timeoutMs = 20000);
// Clicks Update and waits for the run to end.
bool RunUpdateToEnd(DWORD timeoutMs = 20000);

// Fills the mod filter box with (name, game directory) pairs, each item's data the index of its directory in
// modFilterDirs, and selects the entry made from filters[selected] (-1: none).
void SetModFilters(const std::vector<std::pair<std::wstring, std::wstring>>& filters, int selected);

// Replaces the configuration's buddy text and rebuilds the buddy entries from it.
// The mod filter box's entries, top to bottom.
std::vector<std::wstring> BoxEntries();
// Picks the entry with exactly this text as a user does: the selection, then the box's notification.
void UserSelects(const std::wstring& entry);

void SetBuddyText(const std::wstring& text);

// Every text written to the status line from now on, in order.
void RecordStatusLine();
const std::vector<std::wstring>& RecordedStatusLines();

std::wstring WindowText(HWND window);
// The mod filter text the window keeps, as wide text; "<none>" before any is set.
std::wstring ModFilterText();
// How wide the text is in the control's own font, in pixels.
int TextWidthIn(HWND control, const std::wstring& text);
std::wstring StatusPartText(int part);
